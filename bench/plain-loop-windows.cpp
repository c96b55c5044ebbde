// bench/plain-loop-windows.cpp: bench/plain-loop as a Windows program, for
// bench/flash-throughput --windows to hold the Windows build's turnaround
// against what the same system (Wine, or Windows) allows.
//
//   plain-loop-windows COMn RECORDS
//
// Opens COMn for synchronous reads and writes at 38400 baud, 8 data bits,
// no parity, one stop bit; sends "z" and "E", then each line of RECORDS
// (one "P" record a line) and reads its "p" with a blocking read before the
// next goes out, then the final "R". A read returns the moment a byte has
// come, or after 10 s. Exit status 1 when an answer is not the one
// expected or the port fails.
//
// Built by bench/flash-throughput with the mingw-w64 compiler:
//   x86_64-w64-mingw32-g++ -O2 -static -o plain-loop-windows.exe plain-loop-windows.cpp
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

HANDLE port = INVALID_HANDLE_VALUE;

bool ask(const std::string &data, char answer)
{
    DWORD done = 0;
    if (!WriteFile(port, data.data(), DWORD(data.size()), &done, nullptr) || done != data.size()) {
        std::fprintf(stderr, "plain-loop-windows: writing %.8s failed\n", data.c_str());
        return false;
    }
    char got = 0;
    if (!ReadFile(port, &got, 1, &done, nullptr) || done != 1 || got != answer) {
        std::fprintf(stderr, "plain-loop-windows: %.8s answered with %s, not %c\n", data.c_str(),
                     done == 1 ? std::string(1, got).c_str() : "nothing", answer);
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: plain-loop-windows COMn RECORDS\n");
        return 2;
    }
    std::vector<std::string> records;
    std::ifstream in(argv[2]);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            records.push_back(line);
    }
    const std::string name = std::string("\\\\.\\") + argv[1];
    port = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "plain-loop-windows: cannot open %s\n", argv[1]);
        return 1;
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    GetCommState(port, &dcb);
    dcb.BaudRate = 38400;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = dcb.fOutX = dcb.fInX = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    // A read returns as soon as one byte has come, or after 10 s.
    COMMTIMEOUTS timeouts{MAXDWORD, MAXDWORD, 10000, 0, 10000};
    if (!SetCommState(port, &dcb) || !SetCommTimeouts(port, &timeouts)) {
        std::fprintf(stderr, "plain-loop-windows: cannot set up %s\n", argv[1]);
        return 1;
    }
    bool ok = ask("z", 'C') && ask("E", 'e');
    for (std::size_t i = 0; ok && i < records.size(); ++i)
        ok = ask(records[i], 'p');
    DWORD done = 0;
    ok = ok && WriteFile(port, "R", 1, &done, nullptr) && done == 1;
    CloseHandle(port);
    return ok ? 0 : 1;
}
