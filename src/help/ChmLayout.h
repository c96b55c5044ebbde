#pragma once
// The checks a compiled help file must pass before chmlib is let near it.
// chmlib trusts the file's headers, directory and compression data: it
// divides by the window and block sizes, allocates from the directory's block
// length, follows index pages without limit and copies names and compressed
// blocks without bounds. One flipped byte there takes the program down, so
// these structures are read here first, with every size checked against the
// file, and a file that fails is refused as damaged.

#include <QByteArrayView>

namespace romwright {

// True when the headers, every directory page chmlib can reach, every entry
// on them and the compression control data and reset table hold together and
// stay inside the file.
bool chmLayoutIsSound(QByteArrayView file);

} // namespace romwright
