#include "skin/SkinLayout.h"

#include <QWidget>
#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <unordered_map>

#include "controls/CFaderCtrl.h"
#include "controls/CGdipButton.h"
#include "controls/CKnob.h"
#include "controls/CLedCtl.h"
#include "controls/CProgressBar.h"
#include "controls/CTpComboBox.h"
#include "controls/CTpEdit.h"
#include "controls/CTpStatic.h"
#include "curves/CSpectrumCtl.h"
#include "skin/SkinReader.h"

namespace vantrel {

namespace {

// Coordinates far beyond any screen are a typing slip; keeping them small keeps the rectangle
// arithmetic (here and in Qt) clear of overflow.
constexpr long long kMaxCoordinate = 1 << 20;

int Coordinate(long long value) {
    return static_cast<int>(std::clamp(value, -kMaxCoordinate, kMaxCoordinate));
}

int Extent(long long value) { return static_cast<int>(std::clamp(value, 0LL, kMaxCoordinate)); }

// The keys every section kind shares.
struct SkinBox {
    int left;
    int top;
    int width;
    int height;

    QRect Rect() const { return QRect(left, top, width, height); }
};

SkinBox ReadBox(const SkinReader& skin, const std::string& section) {
    return {
        Coordinate(skin.ReadSkinInt(section, "Left")), Coordinate(skin.ReadSkinInt(section, "Top")),
        Extent(skin.ReadSkinInt(section, "Width")), Extent(skin.ReadSkinInt(section, "Height"))};
}

QFont ReadFont(const SkinReader& skin, const std::string& section) {
    return SkinFont(skin.ReadSkinInt(section, "FontHeight"), skin.ReadSkinInt(section, "FontWidth"),
                    skin.ReadSkinInt(section, "FontWeight"),
                    skin.ReadSkinString(section, "FontName"));
}

QColor ReadFontColor(const SkinReader& skin, const std::string& section) {
    return skin.ReadSkinColor(section, "FontCollorR", "FontCollorG", "FontCollorB");
}

QString InitialText(const SkinControlSpec& spec, int index) {
    QString text = QString::fromUtf8(spec.text.data(), static_cast<qsizetype>(spec.text.size()));
    if (spec.Has(kSkinNumbered)) text += QString::number(index + 1);
    return text;
}

template <typename Control>
void ApplyRange(Control* control, const SkinValueRange& range) {
    control->SetRange(range.minimum, range.maximum);
    control->SetValue(range.value);
    control->SetDefaultValue(range.value);
    control->SetStep(range.step);
    control->SetDragRate(range.dragRate);
}

QWidget* CreateImageButton(QWidget* window, const SkinReader& skin, const SkinControlSpec& spec,
                           int index) {
    const std::string section = spec.SectionOf(index);
    auto* button = new CGdipButton(window, spec.IdOf(index));
    button->setGeometry(ReadBox(skin, section).Rect());
    button->LoadStdImage(skin.ReadSkinString(section, "STA_name"));
    button->LoadAltImage(skin.ReadSkinString(section, "ALT_name"));
    if (spec.Has(kSkinToggle) && button->HasAltImage()) button->SetToggle(true);
    if (spec.Has(kSkinAutoRepeat)) button->SetAutoRepeat(true);
    return button;
}

QWidget* CreateLed(QWidget* window, const SkinReader& skin, const SkinControlSpec& spec,
                   int index) {
    const std::string section = spec.SectionOf(index);
    auto* led = new CLedCtl(window, spec.IdOf(index));
    led->setGeometry(ReadBox(skin, section).Rect());
    led->LoadStdImage(skin.ReadSkinString(section, "STA_name"));
    led->LoadAltImage(skin.ReadSkinString(section, "ALT_name"));
    led->SetLedOn(false);
    led->update();
    return led;
}

QWidget* CreateKnob(QWidget* window, const SkinReader& skin, const SkinControlSpec& spec,
                    int index) {
    const std::string section = spec.SectionOf(index);
    auto* knob = new CKnob(window, spec.IdOf(index));
    knob->setGeometry(ReadBox(skin, section).Rect());
    knob->LoadStandardStrip(skin.ReadSkinString(section, "STA_name"));
    knob->LoadAlternateStrip(skin.ReadSkinString(section, "ALT_name"));
    knob->SetStripGeometry(skin.ReadSkinInt(section, "StepHeight"),
                           skin.ReadSkinInt(section, "FirstKHc"),
                           skin.ReadSkinInt(section, "StepNum"));
    knob->SetPageMultiplier(static_cast<float>(skin.ReadSkinInt(section, "ValMul")));
    knob->SetDisabled(false);
    if (const SkinValueRange* range = SkinRangeOf(spec.name)) ApplyRange(knob, *range);
    knob->update();
    return knob;
}

QWidget* CreateFader(QWidget* window, const SkinReader& skin, const SkinControlSpec& spec,
                     int index) {
    const std::string section = spec.SectionOf(index);
    auto* fader = new CFaderCtrl(window, spec.IdOf(index));
    const SkinBox box = ReadBox(skin, section);
    fader->setGeometry(box.Rect());
    fader->LoadStandardPicture(skin.ReadSkinString(section, "STA_name"));
    fader->LoadAlternatePicture(skin.ReadSkinString(section, "ALT_name"));
    fader->SetPlacementRect(box.Rect());
    fader->SetPageMultiplier(static_cast<float>(skin.ReadSkinInt(section, "FaderValMul")));
    if (const SkinValueRange* range = SkinRangeOf(spec.name)) ApplyRange(fader, *range);
    return fader;
}

// Band i stands FaderWidth further right than band i - 1; it is created Width wide and settles
// to FaderWidth x FaderHeight when it first paints.
QWidget* CreateBandFader(QWidget* window, const SkinReader& skin, const SkinControlSpec& spec,
                         int index) {
    const std::string section = spec.SectionOf(index);
    auto* fader = new CFaderCtrl(window, spec.IdOf(index));
    const SkinBox box = ReadBox(skin, section);
    const int pitch = skin.ReadSkinInt(section, "FaderWidth");
    const int left =
        Coordinate(static_cast<long long>(box.left) + static_cast<long long>(index) * pitch);
    fader->setGeometry(left, box.top, box.width, box.height);
    fader->LoadStandardPicture(skin.ReadSkinString(section, "STA_name"));
    fader->LoadAlternatePicture(skin.ReadSkinString(section, "ALT_name"));
    fader->SetPlacementRect(
        QRect(left, box.top, Extent(pitch), Extent(skin.ReadSkinInt(section, "FaderHeight"))));
    if (const SkinValueRange* range = SkinRangeOf(spec.name)) ApplyRange(fader, *range);
    fader->SetPageMultiplier(static_cast<float>(skin.ReadSkinInt(section, "FaderValMul")));
    return fader;
}

QWidget* CreateLabel(QWidget* window, const SkinReader& skin, const SkinControlSpec& spec,
                     int index) {
    const std::string section = spec.SectionOf(index);
    auto* label = new CTpStatic(window, spec.IdOf(index));
    label->setGeometry(ReadBox(skin, section).Rect());
    label->SetText(InitialText(spec, index));
    label->setFont(ReadFont(skin, section));
    label->SetTextColor(ReadFontColor(skin, section));
    return label;
}

QWidget* CreateEdit(QWidget* window, const SkinReader& skin, const SkinControlSpec& spec,
                    int index) {
    const std::string section = spec.SectionOf(index);
    auto* edit = new CTpEdit(window, spec.IdOf(index));
    edit->setGeometry(ReadBox(skin, section).Rect());
    edit->SetText(InitialText(spec, index));
    edit->setFont(ReadFont(skin, section));
    edit->SetTextColor(ReadFontColor(skin, section));
    if (spec.Has(kSkinReadOnly)) edit->SetReadOnly(true);
    return edit;
}

QWidget* CreateList(QWidget* window, const SkinReader& skin, const SkinControlSpec& spec,
                    int index) {
    const std::string section = spec.SectionOf(index);
    auto* list = new CTpComboBox(window, spec.IdOf(index));
    list->setGeometry(ReadBox(skin, section).Rect());
    list->setFont(ReadFont(skin, section));
    list->SetTextColor(ReadFontColor(skin, section));
    list->SetMark(0);
    return list;
}

QWidget* CreateLevelBar(QWidget* window, const SkinReader& skin, const SkinControlSpec& spec,
                        int index) {
    const std::string section = spec.SectionOf(index);
    auto* bar = new CProgressBar(window, spec.IdOf(index));
    bar->setGeometry(ReadBox(skin, section).Rect());
    bar->SetColor(skin.ReadSkinColor(section, "CollorR", "CollorG", "CollorB"));
    return bar;
}

QWidget* CreateCurve(QWidget* window, const SkinReader& skin, const SkinControlSpec& spec,
                     int index, const SetupRecord* firstSetup) {
    const std::string section = spec.SectionOf(index);
    auto* curve = new CSpectrumCtl(window, spec.IdOf(index));
    curve->setGeometry(ReadBox(skin, section).Rect());
    curve->SetPlotRange(
        skin.ReadSkinFloat(section, "ValLeft"), skin.ReadSkinFloat(section, "ValTop"),
        skin.ReadSkinFloat(section, "ValRigth"), skin.ReadSkinFloat(section, "ValBottom"));
    curve->SetSetup(firstSetup);
    const std::array<QColor, kChannelCount> colors = SkinCurveColors();
    for (int c = 0; c < kChannelCount; ++c) {
        curve->SetChannelColor(c, colors[static_cast<std::size_t>(c)]);
    }
    if (spec.Has(kSkinPointEditing)) curve->SetEditable(true);
    return curve;
}

QWidget* CreateControl(QWidget* window, const SkinReader& skin, const SkinControlSpec& spec,
                       int index, const SetupRecord* firstSetup) {
    switch (spec.kind) {
        case SkinKind::ImageButton:
            return CreateImageButton(window, skin, spec, index);
        case SkinKind::Led:
            return CreateLed(window, skin, spec, index);
        case SkinKind::Knob:
            return CreateKnob(window, skin, spec, index);
        case SkinKind::BandFaderBank:
            return CreateBandFader(window, skin, spec, index);
        case SkinKind::Fader:
            return CreateFader(window, skin, spec, index);
        case SkinKind::Label:
            return CreateLabel(window, skin, spec, index);
        case SkinKind::Edit:
            return CreateEdit(window, skin, spec, index);
        case SkinKind::List:
            return CreateList(window, skin, spec, index);
        case SkinKind::LevelBar:
            return CreateLevelBar(window, skin, spec, index);
        case SkinKind::Curve:
            return CreateCurve(window, skin, spec, index, firstSetup);
    }
    return nullptr;
}

// Hands out the created widgets of one name, by index, into the typed references.
class Binder {
public:
    explicit Binder(const std::vector<SkinControl>& all) {
        for (const SkinControl& control : all) {
            m_byName[control.spec->name].push_back(control.widget);
        }
    }

    template <typename T>
    void operator()(T*& field, std::string_view name) const {
        const std::vector<QWidget*>* widgets = Find(name);
        field =
            widgets != nullptr && !widgets->empty() ? dynamic_cast<T*>(widgets->front()) : nullptr;
    }

    template <typename T, std::size_t N>
    void operator()(std::array<T*, N>& field, std::string_view name) const {
        const std::vector<QWidget*>* widgets = Find(name);
        for (std::size_t i = 0; i < N; ++i) {
            field[i] = widgets != nullptr && i < widgets->size() ? dynamic_cast<T*>((*widgets)[i])
                                                                 : nullptr;
        }
    }

private:
    const std::vector<QWidget*>* Find(std::string_view name) const {
        const auto it = m_byName.find(name);
        return it != m_byName.end() ? &it->second : nullptr;
    }

    std::unordered_map<std::string_view, std::vector<QWidget*>> m_byName;
};

void BindControls(SkinControls& c) { ForEachField(c, Binder(c.all)); }

}  // namespace

SkinControls CreateSkinControls(QWidget* window, const SkinReader& skin,
                                const SetupRecord* firstSetup) {
    SkinControls controls;
    for (const std::vector<std::string_view>& step : SkinCreationOrder()) {
        const int count = FindSkinControl(step.front())->count;
        for (int index = 0; index < count; ++index) {
            for (std::string_view name : step) {
                const SkinControlSpec* spec = FindSkinControl(name);
                QWidget* widget = CreateControl(window, skin, *spec, index, firstSetup);
                // The EQ page set, the home button with it, waits hidden for ShowEqPage.
                widget->setVisible(spec->page != SkinPage::Eq);
                controls.all.push_back({spec, index, spec->IdOf(index), widget});
            }
        }
    }
    BindControls(controls);
    return controls;
}

std::array<QColor, kChannelCount> SkinCurveColors() {
    return {QColor(255, 0, 0),   QColor(0, 255, 0),   QColor(0, 0, 255),
            QColor(0, 204, 255), QColor(204, 0, 255), QColor(204, 255, 0)};
}

void ShowPageSet(const SkinControls& controls, SkinPage page) {
    if (page == SkinPage::Both) return;
    const SkinPage other = page == SkinPage::Main ? SkinPage::Eq : SkinPage::Main;
    for (const SkinControl& control : controls.all) {
        if (control.spec->page == page) control.widget->show();
    }
    for (const SkinControl& control : controls.all) {
        if (control.spec->page == other) control.widget->hide();
    }
}

void SizeWindowToBackground(QWidget* window, QSize pictureSize) {
    window->setFixedSize(pictureSize.expandedTo(QSize(0, 0)));
}

}  // namespace vantrel
