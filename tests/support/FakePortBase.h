#pragma once
// Common ground of the test ports: the line properties a fake has no use
// for are taken and forgotten.

#include "platform/SerialPort.h"

namespace romwright::test {

class FakePortBase : public SerialPort {
public:
    CommError setDtrEnable(bool) override { return CommError::None; }
    CommError setRtsEnable(bool) override { return CommError::None; }
    CommError setEofEnable(bool) override { return CommError::None; }
    CommError setHandshaking(int) override { return CommError::None; }
    CommError setInBufferSize(int) override { return CommError::None; }
    CommError setOutBufferSize(int) override { return CommError::None; }
    CommError setBinaryInput(bool) override { return CommError::None; }
    CommError setNullDiscard(bool) override { return CommError::None; }
    CommError setSThreshold(int) override { return CommError::None; }
    CommError setInputLen(int) override { return CommError::None; }
};

} // namespace romwright::test
