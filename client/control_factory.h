#pragma once

#include "client/command_button.h"
#include "client/form_layout.h"
#include "client/label.h"
#include "client/list_box.h"
#include "client/text_box.h"

// A control's place in pixels from the top-left corner of the client area.
struct PixelRect {
    int Left;
    int Top;
    int Width;
    int Height;
};

// What a front end gives the shell: one control of its toolkit for a row of the layout table, with
// its caption, place and visibility. The front end owns what it makes; it outlives the shell.
class ControlFactory {
public:
    virtual ~ControlFactory() = default;

    virtual ListBox& MakeListBox(const ControlSpec& control, const PixelRect& place) = 0;
    virtual TextBox& MakeTextBox(const ControlSpec& control, const PixelRect& place) = 0;
    virtual Label& MakeLabel(const ControlSpec& control, const PixelRect& place) = 0;
    virtual CommandButton& MakeCommandButton(const ControlSpec& control,
                                             const PixelRect& place) = 0;
};
