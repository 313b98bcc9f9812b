#include "style/core/look.h"

#include <algorithm>

namespace pix::style {

namespace {

// Looks keys up and keeps the first one that is missing or of the wrong kind.
class Lookup {
public:
    explicit Lookup(const StyleData& style) : style_(style) {}

    const std::string& Error() const { return error_; }

    int Number(const char* key) {
        const ElementValue* v = Element(key);
        if (v && v->isColor) Fail(std::string("element '") + key + "' must be a number");
        return v && !v->isColor ? v->number : 0;
    }
    Color ElementColor(const char* key) {
        const ElementValue* v = Element(key);
        if (v && !v->isColor) Fail(std::string("element '") + key + "' must be a colour");
        return v && v->isColor ? v->color : Color{};
    }
    Color TableColor(const char* key) { return Find(style_.colors, "Colors", key, Color{}); }
    Color SystemColor(const char* key) { return Find(style_.systemColors, "SystemColors", key, Color{}); }
    TextStyle Text(const char* key) { return Find(style_.textStyles, "TextStyles", key, TextStyle{}); }

private:
    const ElementValue* Element(const char* key) {
        for (const auto& e : style_.elements)
            if (e.key == key) return &e.value;
        Fail(std::string("missing key '") + key + "' in table Elements");
        return nullptr;
    }
    template <class Value>
    Value Find(const std::vector<Entry<Value>>& table, const char* name, const char* key, Value fallback) {
        for (const auto& e : table)
            if (e.key == key) return e.value;
        Fail(std::string("missing key '") + key + "' in table " + name);
        return fallback;
    }
    void Fail(std::string error) {
        if (error_.empty()) error_ = std::move(error);
    }

    const StyleData& style_;
    std::string error_;
};

FrameColors FrameColorsOf(Lookup& l, bool active) {
    FrameColors c;
    if (active) {
        c.topLine = l.ElementColor("Frame.Active.TopLine");
        c.outline = l.ElementColor("Frame.Active.Outline");
        c.captionBand = l.ElementColor("Frame.Active.CaptionBand");
        c.glyph = l.ElementColor("Frame.Active.Glyph");
        c.caption = l.Text("CaptionTextNormal");
    } else {
        c.topLine = l.ElementColor("Frame.Inactive.TopLine");
        c.outline = l.ElementColor("Frame.Inactive.Outline");
        c.captionBand = l.ElementColor("Frame.Inactive.CaptionBand");
        c.glyph = l.ElementColor("Frame.Inactive.Glyph");
        c.caption = l.Text("CaptionTextInactive");
    }
    return c;
}

FrameLook FrameLookOf(Lookup& l) {
    FrameLook f;
    f.topLine = l.Number("Frame.TopLine");
    f.captionBand = l.Number("Frame.CaptionBand");
    f.border = l.Number("Frame.Border");
    f.outline = l.Number("Frame.Outline");
    f.borderFill = l.ElementColor("Frame.BorderFill");
    f.buttonWidth = l.Number("Frame.ButtonWidth");
    f.buttonHeight = l.Number("Frame.ButtonHeight");
    f.glyphSize = l.Number("Frame.GlyphSize");
    f.iconLeft = l.Number("Frame.IconLeft");
    f.iconTop = l.Number("Frame.IconTop");
    f.iconWidth = l.Number("Frame.IconWidth");
    f.iconHeight = l.Number("Frame.IconHeight");
    f.iconSize = l.Number("Frame.IconSize");
    f.captionGap = l.Number("Frame.CaptionGap");
    f.active = FrameColorsOf(l, true);
    f.inactive = FrameColorsOf(l, false);
    f.buttonHot = l.ElementColor("Frame.Button.Hot");
    f.buttonPressed = l.ElementColor("Frame.Button.Pressed");
    f.buttonHotGlyph = l.ElementColor("Frame.Button.HotGlyph");
    f.closeHot = l.ElementColor("Frame.Close.Hot");
    f.closePressed = l.ElementColor("Frame.Close.Pressed");
    f.closeHotGlyph = l.ElementColor("Frame.Close.HotGlyph");
    return f;
}

ScrollBarLook ScrollBarLookOf(Lookup& l) {
    ScrollBarLook s;
    s.track = l.ElementColor("ScrollBar.Track");
    s.rim = l.Number("ScrollBar.Rim");
    const char* const states[3] = {"Normal", "Hot", "Pressed"};
    for (int i = 0; i < 3; ++i) {
        s.thumb[i] = l.ElementColor((std::string("ScrollBar.Thumb.") + states[i]).c_str());
        s.arrow[i] = l.ElementColor((std::string("ScrollBar.Arrow.") + states[i]).c_str());
        s.chevron[i] = l.ElementColor((std::string("ScrollBar.Chevron.") + states[i]).c_str());
    }
    s.chevronWidth = l.Number("ScrollBar.ChevronWidth");
    s.chevronHeight = l.Number("ScrollBar.ChevronHeight");
    s.disabledOpacity = l.Number("ScrollBar.DisabledOpacity");
    return s;
}

}  // namespace

ButtonState ChooseButtonState(bool pressed, bool hot, bool focused) noexcept {
    if (pressed) return ButtonState::Pressed;
    if (hot) return ButtonState::Hot;
    if (focused) return ButtonState::Focused;
    return ButtonState::Normal;
}

Result<Look> BuildLook(const StyleData& style) {
    Result<Look> result;
    Look& k = result.value;
    Lookup l(style);
    k.frame = FrameLookOf(l);
    k.clientBackground = l.SystemColor("COLOR_BTNFACE");
    k.panel = l.TableColor("Panel");
    k.editBackground = l.TableColor("Edit");
    k.staticText = l.Text("StaticTextNormal").color;
    k.editText = l.Text("EditBoxTextNormal").color;
    k.editDisabledText = l.Text("EditBoxTextDisabled").color;
    k.editBorderWidth = l.Number("Edit.BorderWidth");
    k.editBorderNormal = l.ElementColor("Edit.Border.Normal");
    k.editBorderHot = l.ElementColor("Edit.Border.Hot");
    k.selection = l.SystemColor("COLOR_HIGHLIGHT");
    k.selectionText = l.SystemColor("COLOR_HIGHLIGHTTEXT");
    const char* const faces[4] = {"Button.Face.Normal", "Button.Face.Hot", "Button.Face.Pressed",
                                  "Button.Face.Focused"};
    const char* const texts[4] = {"ButtonTextNormal", "ButtonTextHot", "ButtonTextPressed", "ButtonTextFocused"};
    for (int i = 0; i < 4; ++i) {
        k.buttonFace[i] = l.ElementColor(faces[i]);
        k.buttonText[i] = l.Text(texts[i]).color;
    }
    k.comboButton = l.ElementColor("ComboBox.Button");
    k.comboChevron = l.ElementColor("ComboBox.Chevron");
    k.comboChevronWidth = l.Number("ComboBox.ChevronWidth");
    k.comboChevronHeight = l.Number("ComboBox.ChevronHeight");
    k.calendar.heightFactor = l.Number("Calendar.HeightFactor");
    k.calendar.heightInset = l.Number("Calendar.HeightInset");
    k.calendar.dayColumns = l.Number("Calendar.DayColumns");
    k.calendar.widthExtra = l.Number("Calendar.WidthExtra");
    k.calendar.shortestDayName = l.Number("Calendar.ShortestDayName");
    k.calendarBackground = l.SystemColor("COLOR_WINDOW");
    k.calendarText = l.SystemColor("COLOR_WINDOWTEXT");
    k.calendarTitle = l.SystemColor("COLOR_HIGHLIGHT");
    k.calendarTitleText = l.SystemColor("COLOR_HIGHLIGHTTEXT");
    k.scrollBar = ScrollBarLookOf(l);
    k.menuBackground = l.ElementColor("Menu.Background");
    k.menuBorder = l.ElementColor("Menu.Border");
    k.menuHot = l.ElementColor("Menu.Hot");
    k.menuSeparator = l.ElementColor("Menu.Separator");
    k.menuText = l.ElementColor("Menu.Text");
    k.menuDisabledText = l.Text("PopupMenuItemTextDisabled").color;
    k.dialogBackground = l.ElementColor("Dialog.Background");
    k.dialogText = l.ElementColor("Dialog.Text");
    for (std::size_t i = 0; i < kSystemColorKeys.size(); ++i) k.systemColors[i] = l.SystemColor(kSystemColorKeys[i]);
    result.error = l.Error();
    return result;
}

CalendarSize CalendarSizeFor(const CalendarLook& look, int pickerHeight, int widthOfW, int widthOfw,
                             int longestDayName) noexcept {
    const int letters = longestDayName == 1 ? look.shortestDayName : longestDayName;
    CalendarSize size;
    size.height = look.heightFactor * (pickerHeight - look.heightInset);
    size.width = std::max(look.dayColumns * (widthOfW + widthOfw * (letters - 1)) + look.widthExtra, size.height);
    return size;
}

}  // namespace pix::style
