#!/usr/bin/env python3
# line-pair.py DIR: two pseudo-terminals joined back to back, for the Windows
# port's table under Wine (scripts/test-windows maps DIR/com1 and DIR/com2
# to COM1 and COM2). Prints the two names once they are there, then passes
# bytes each way until it is ended. "\x01unplug\x01" from the second hangs
# up the first, as an unplugged adapter would; DIR/com1 then names a new one.
import os
import pty
import select
import sys
import tty


def plug(link):
    master, slave = pty.openpty()
    tty.setraw(slave)  # kept open: a closed port leaves no hang-up behind
    os.symlink(os.ttyname(slave), link + ".new")
    os.replace(link + ".new", link)
    return master


links = [os.path.join(sys.argv[1], name) for name in ("com1", "com2")]
first, second = plug(links[0]), plug(links[1])
print(*links, flush=True)
while True:
    for m in select.select([first, second], [], [])[0]:
        data = os.read(m, 4096)
        if m == first:
            os.write(second, data)
        elif b"\x01unplug\x01" in data:
            first, unplugged = plug(links[0]), first
            os.close(unplugged)
        else:
            os.write(first, data)
