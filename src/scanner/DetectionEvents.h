#pragma once
// What detection tells the front end while it runs, and the one thing it
// asks of the user. The front end's controller shows the first and asks the
// second; detection itself shows nothing.

#include <QString>
#include <optional>

namespace romwright {

class DetectionEvents {
public:
    virtual ~DetectionEvents() = default;

    // Detection is under way (true) or has stopped (false), also while the
    // user is asked for the model.
    virtual void detecting(bool underWay) = 0;

    // A scanner answered from its boot software, which cannot name its model:
    // "Halvern1450", "Jorlith750" or "Wexmoor 3650" (anything else counts as
    // the first); nullopt when the user chose to end the program.
    virtual std::optional<QString> chooseModel() = 0;
};

} // namespace romwright
