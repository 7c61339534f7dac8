#pragma once

#include "appsui/appdialogs.h"

// What the install windows ask just before an install.
class InstallTarget {
public:
    virtual ~InstallTarget() = default;
    // Whether a phone is there to install to; path mode starts the bridge on the first question.
    virtual bool devicePresent() = 0;
    // The installation types the phone's package manager accepts.
    virtual InstallChoices installChoices() const = 0;
};
