#pragma once
// The bootloader link and the update on a manual clock, over a fake port
// whose boot software answers each command with its letter 1 ms later.

#include "app/update/UpdateController.h"
#include "app/update/UpdateInputs.h"
#include "flash/UpdateSequence.h"
#include "platform/ManualClock.h"
#include "support/FakePort.h"
#include "support/ScriptedDialogs.h"
#include "support/UpdateWatch.h"
#include "view/ViewState.h"

#include <numeric>

namespace romwright::test {

// The three kinds of boot software, by their answers.
struct BootSoftware {
    QByteArray greeting = "Q"; // to a request
    int greetOn = 2;           // request that gets it: 1 the first of an update (route Z), 2 the retry, ...
    int stallAt = 0;           // the nth command answer never comes (0: all come)
    int requests = 0;
    int answers = 0;
    bool firmwareMode = false; // after "z": "E" is answered "e"

    QByteArray answer(const QByteArray &w)
    {
        if (w == "R2" || w == "R4")
            return ++requests == greetOn ? greeting : QByteArray();
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
        return !reply.isEmpty() && stallAt > 0 && ++answers >= stallAt ? QByteArray() : reply;
    }
};

// Data in two 64-byte blocks of the firmware (one erased block between
// them), in both blocks of the 128-byte table and in one bootloader block.
inline FirmwareSet sampleFirmware()
{
    FirmwareSet fw;
    fw.FilesValid = true;
    fw.FirmwareImage.fill(0xFF);
    fw.BootloaderImage.fill(0xFF);
    fw.RamLoaderImage[0x50] = 'L';
    std::iota(&fw.FirmwareImage[0x1000], &fw.FirmwareImage[0x1040], std::uint8_t(0));
    std::fill_n(&fw.FirmwareImage[0x10C0], 64, 0x5A);
    std::fill_n(&fw.BootloaderImage[0xF000], 64, 0xA5);
    fw.FlashBlocks64[0] = {0x1000, 64};
    fw.FlashBlocks64[1] = {0x1040, 64};
    fw.FlashBlocks64[2] = {0x10C0, 64};
    fw.FlashBlocks128[0] = {0x1000, 128};
    fw.FlashBlocks128[1] = {0x1080, 128};
    fw.BootloaderBlocks[0] = {0xF000, 64};
    return fw;
}

// The inputs' and dialogs' answers; the restarted scanner is asked when identity is set.
struct Answers : UpdateAnswers {
    using UpdateAnswers::UpdateAnswers;
    bool asksIdentity() const override { return bool(identity); }
    std::optional<QString> askIdentity() override { return identity(); }
    std::function<std::optional<QString>()> identity;
};

struct LinkRig {
    explicit LinkRig(const char *greeting = "Q", int greetOn = 2)
        : port(&clock), link(port, clock, FlashTimings{}), controller(view, dialogs, inputs),
          answers(inputs, dialogs), update(link, answers, target)
    {
        update.listen(controller);
        boot.greeting = greeting;
        boot.greetOn = greetOn;
        target.bTargetA = boot.greeting == "A";
        port.latency = std::chrono::milliseconds(1);
        port.responder = [this](const QByteArray &w) { return boot.answer(w); };
        port.setPortOpen(true);
        inputs.setFile(QStringLiteral("Hlv1450ver5_9.s19"));
    }

    // Start-up's timers, then a click on PROGRAM at clickAt.
    Outcome click(int clickAt = 0)
    {
        link.timers().start();
        clock.advance(std::chrono::milliseconds(clickAt));
        return update.cmdProgram_Click(fw);
    }
    QString message() const { return dialogs.messages.empty() ? QString() : dialogs.messages.back().text; }

    // Each write as "time:bytes", long ones as their first byte and length.
    QString timeline() const
    {
        QStringList out;
        for (std::size_t i = 0; i < port.writes.size(); ++i) {
            const QByteArray &w = port.writes[i];
            out << QString::number(port.writeTimes[i].count()) + QLatin1Char(':') +
                       (w.size() <= 2 ? QString::fromLatin1(w)
                                      : QString::fromLatin1(w.left(1)) + QString::number(w.size()));
        }
        return out.join(QLatin1Char(' '));
    }
    ManualClock clock;
    FakePort port;
    BootSoftware boot;
    FirmwareSet fw = sampleFirmware();
    ViewState view;
    ScriptedDialogs dialogs;
    UpdateInputs inputs{view};
    TargetState target;
    BootloaderLink link;
    UpdateController controller;
    Answers answers;
    UpdateSequence update;
    UpdateWatch watch{update};
};

} // namespace romwright::test
