#pragma once
// Answers writes the way the boot software answers commands, one letter
// each, so the update can be driven through a FakePort. Baud rates are not
// modelled: which request gets a greeting is set directly.

#include <QByteArray>
#include <functional>

namespace romwright::test {

struct FakeBootloader {
    QByteArray greeting = "Q"; // letter sent in answer to a request
    int greetOnRequest = 2;    // 1: the first request of an update (route Z), 2: the retry
    int requests = 0;
    bool firmwareMode = false; // after "z": "E" is answered "e"
    // Stop answering from the nth answerable write on (0: never).
    int stallAt = 0;
    int answered = 0;

    QByteArray answer(const QByteArray &w)
    {
        if (w == "R2" || w == "R4")
            return ++requests == greetOnRequest ? greeting : QByteArray();
        QByteArray reply;
        if (w == "G" || w.size() == 1024 || (w.startsWith('D') && w.size() == 68))
            reply = "R";
        else if (w == "E")
            reply = firmwareMode ? "e" : "R";
        else if (w == "z") {
            firmwareMode = true;
            reply = "C";
        } else if (w.startsWith('P'))
            reply = "p";
        if (reply.isEmpty())
            return reply;
        if (stallAt > 0 && ++answered >= stallAt)
            return QByteArray();
        return reply;
    }

    std::function<QByteArray(const QByteArray &)> responder()
    {
        return [this](const QByteArray &w) { return answer(w); };
    }
};

} // namespace romwright::test
