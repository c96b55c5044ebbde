#pragma once
// What an update asks as it goes, each question at the moment it is needed.
// The front end answers: the window with its dialogs, the console with its
// prompts or --yes, tests with fakes. Unanswered (the defaults here), a file
// counts as chosen and fitting, the power cycle as done, and the restarted
// scanner is not asked who it is.

#include <QString>

#include <optional>

namespace romwright {

class UpdateDecisions {
public:
    virtual ~UpdateDecisions() = default;

    // Whether a firmware file has been chosen at all.
    virtual bool fileChosen() const { return true; }
    // Whether the loaded file may go into this scanner, asking the user if
    // need be; false stops before anything of the file is sent. Asked after
    // the file check and again just before a route begins.
    virtual bool firmwareFits() { return true; }
    // The new boot software waits for the scanner to be switched off and
    // on; false ends the update.
    virtual bool powerCycle() { return true; }

    // Whether a completed update asks the restarted scanner its identity.
    virtual bool asksIdentity() const { return false; }
    // One question of that identity, with the port closed: the name its new
    // firmware answers with, nullopt when it does not. Asked until it
    // answers or the answer bound has passed, askAgain apart.
    virtual std::optional<QString> askIdentity() { return std::nullopt; }
    // Whether that name is the model the firmware was written for; an answer
    // that is not ends the update as EndWrongModel.
    virtual bool answersAsProgrammed(const QString & /*name*/) { return true; }
};

} // namespace romwright
