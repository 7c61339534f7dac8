#pragma once

#include <QString>

// What the file commands ask of the window about what its sides show.
class BrowserLayout {
public:
    virtual ~BrowserLayout() = default;
    virtual bool appsPageShown() const = 0;  // the right side shows the applications manager
    virtual bool leftShowsPhone() const = 0; // the left side shows the second phone pane
    virtual QString pcFolder() const = 0;    // the PC pane's folder (ends in "/")
};
