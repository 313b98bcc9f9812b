// What the drawing takes from a style, by name: the frame, the fields, the
// push button, the scroll bar, the picker, the calendar, menus and dialogs.
// Built from the style's tables and elements; a key the drawing needs and the
// style lacks makes the build fail with its name, so no measure or colour
// has a default in code.
#pragma once

#include <array>

#include "style/core/style_data.h"

namespace pix::style {

struct FrameColors {
    Color topLine;
    Color outline;
    Color captionBand;
    Color glyph;
    TextStyle caption;
};

// The states of the push button, first that holds wins: pressed, hot,
// focused, normal.
enum class ButtonState { Normal, Hot, Pressed, Focused };
ButtonState ChooseButtonState(bool pressed, bool hot, bool focused) noexcept;

struct FrameLook {
    int topLine = 0;      // height of the top line
    int captionBand = 0;  // height of the caption band under it
    int border = 0;       // left, right and bottom border
    int outline = 0;      // the border's outer line
    Color borderFill;
    int buttonWidth = 0;
    int buttonHeight = 0;
    int glyphSize = 0;
    int iconLeft = 0, iconTop = 0, iconWidth = 0, iconHeight = 0, iconSize = 0;
    int captionGap = 0;  // between the icon area and the caption
    FrameColors active;
    FrameColors inactive;
    Color buttonHot, buttonPressed, buttonHotGlyph;
    Color closeHot, closePressed, closeHotGlyph;

    int TitleHeight() const noexcept { return topLine + captionBand; }
};

struct ScrollBarLook {
    Color track;
    int rim = 0;
    Color thumb[3];    // normal, hot, pressed
    Color arrow[3];    // normal, hot, pressed
    Color chevron[3];  // normal, hot, pressed
    int chevronWidth = 0, chevronHeight = 0;
    int disabledOpacity = 0;  // percent
};

struct CalendarLook {
    int heightFactor = 0, heightInset = 0, dayColumns = 0, widthExtra = 0, shortestDayName = 0;
};

struct Look {
    FrameLook frame;
    Color clientBackground;  // the button-face substitute
    Color panel;
    Color editBackground;
    Color staticText;
    Color editText;
    Color editDisabledText;
    int editBorderWidth = 0;
    Color editBorderNormal, editBorderHot;
    Color selection, selectionText;  // selected text, by the highlight's substitutes
    Color buttonFace[4];  // by ButtonState
    Color buttonText[4];  // by ButtonState
    Color comboButton, comboChevron;
    int comboChevronWidth = 0, comboChevronHeight = 0;
    CalendarLook calendar;
    Color calendarBackground, calendarText, calendarTitle, calendarTitleText;
    ScrollBarLook scrollBar;
    Color menuBackground, menuBorder, menuHot, menuSeparator, menuText, menuDisabledText;
    Color dialogBackground, dialogText;
    // The substitutes for the platform's system colours, in the order of
    // kSystemColorKeys: what the controls get where they ask the platform.
    std::array<Color, kSystemColorKeys.size()> systemColors;
};

Result<Look> BuildLook(const StyleData& style);

// The drop-down calendar's size from the picker's height, the widths of "W"
// and "w" in its font and the longest abbreviated day name.
struct CalendarSize {
    int width = 0;
    int height = 0;
};
CalendarSize CalendarSizeFor(const CalendarLook& look, int pickerHeight, int widthOfW, int widthOfw,
                             int longestDayName) noexcept;

}  // namespace pix::style
