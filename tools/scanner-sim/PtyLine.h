#pragma once
// The pseudo-terminal the simulator plays the scanner on. The program opens
// the terminal (through the link); the simulator holds the other side and
// keeps the terminal itself open too, so the program can close and reopen
// its port without the line going down. Opens and closes of the terminal are
// watched: bytes the scanner sends while the port is closed are lost, and
// what the program has not read when it closes is dropped, as with a UART.

#include <cstddef>
#include <cstdint>
#include <string>

namespace romwright::sim {

class PtyLine {
public:
    PtyLine() = default;
    PtyLine(const PtyLine &) = delete;
    PtyLine &operator=(const PtyLine &) = delete;
    ~PtyLine();

    // Creates the terminal (raw, at initialRate) and the link to it.
    bool open(const std::string &link, int initialRate, std::string &error);
    // Closes both sides: the program's port sees the line hang up.
    void hangUp();
    bool isOpen() const { return m_master >= 0; }

    int masterFd() const { return m_master; }
    int watchFd() const { return m_watch; }
    const std::string &terminalName() const { return m_terminal; }

    // The rates the program has set on its side: what it sends at and
    // listens at (0 when the terminal holds a rate the scanner never uses).
    int programSendRate() const;
    int programListenRate() const;
    bool programHasPortOpen() const { return m_opens > 0; }

    // Takes the open and close notifications; call when watchFd is readable.
    void readWatch();
    // True once after the program opened its port (since the last call).
    bool takeOpened();

    // One read of the terminal: data bytes, or the news that the program
    // changed its line settings (the terminal runs in packet mode and tells
    // the simulator of every change at once).
    struct Chunk {
        long count = 0; // data bytes in the buffer; -1 nothing more to read
        bool settingsChanged = false;
    };
    Chunk read(std::uint8_t *buffer, std::size_t size);
    // The bytes in one write, so that the program reads them together; the
    // count that went out (short when the terminal buffer is full or the line
    // is down).
    std::size_t write(const std::uint8_t *bytes, std::size_t count);

private:
    void removeLink();

    int m_master = -1;
    int m_slave = -1;
    int m_watch = -1;
    int m_opens = 0;
    bool m_opened = false;
    std::string m_terminal;
    std::string m_link;
};

} // namespace romwright::sim
