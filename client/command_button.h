#pragma once

// A push button: the window only shows or hides it.
class CommandButton {
public:
    virtual ~CommandButton() = default;
    virtual bool Visible() const = 0;
    virtual void SetVisible(bool visible) = 0;
};
