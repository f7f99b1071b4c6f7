#pragma once

// The exam window's description: every control with its kind, geometry,
// text, font, colours and state when the window opens. Geometry is in pixels
// at 96 dpi, relative to the container (the window's client area below the
// menu bar, a tab page, or an answer frame). Hold this file beside the
// window's layout tables and check it line by line; examwindow.cpp only
// builds what stands here.

#include <QColor>
#include <QRect>

#include <array>
#include <optional>

namespace karvel::examlayout {

struct FontSpec
{
    const char16_t *face;
    double points;
    bool bold;
};

inline constexpr FontSpec kGothic9{u"ＭＳ ゴシック", 9, false};
inline constexpr FontSpec kGothic9Bold{u"ＭＳ ゴシック", 9, true};
inline constexpr FontSpec kGothic975Bold{u"ＭＳ ゴシック", 9.75, true};
inline constexpr FontSpec kGothic12Bold{u"ＭＳ ゴシック", 12, true};
inline constexpr FontSpec kGothic1425Bold{u"ＭＳ ゴシック", 14.25, true};
// The window's own font, used by the controls that set none of their own.
inline constexpr FontSpec kWindowDefault{u"ＭＳ Ｐゴシック", 9, false};
inline constexpr FontSpec kSerif825{u"MS Serif", 8.25, false};

inline constexpr const char16_t *kCaption = u"問題 （Karvel）";
inline constexpr int kClientWidth = 792;
inline constexpr int kClientHeight = 554;
inline constexpr const char *kBackground = ":/content/background.gif";

inline constexpr QColor kPink(255, 128, 255);
inline constexpr QColor kYellow(255, 255, 0);

// Menus: the bar item, its caption, the one command under it and its caption.
struct MenuSpec
{
    const char *barName;
    const char16_t *barCaption;
    const char *commandName;
    const char16_t *commandCaption;
};

inline constexpr std::array<MenuSpec, 2> kMenus{{
    {"mnuGame", u"ゲーム(&G)", "mnuExit", u"終了(&Q)"},
    {"mnuHelp", u"ヘルプ(&H)", "mnuAbout", u"バージョン情報(&A)"},
}};

enum class Kind { Button, Label, TabControl, SoundStrip };

// How a label sizes itself: fixed, or its width following its text.
enum class Sizing { Fixed, WidthFollowsText };

// Controls placed directly on the window, in the order they are stacked
// (later ones are drawn above earlier ones: lbl秒 above Label1, lbl得点
// above Label2).
struct ControlSpec
{
    const char *name;
    Kind kind;
    QRect geometry;
    const char16_t *text;
    FontSpec font;
    Qt::Alignment align;
    std::optional<QColor> background; // nullopt: transparent or the system's
    Sizing sizing;
};

inline constexpr Qt::Alignment kCentre = Qt::AlignCenter;
inline constexpr Qt::Alignment kRight = Qt::AlignRight | Qt::AlignVCenter;
inline constexpr Qt::Alignment kLeft = Qt::AlignLeft | Qt::AlignVCenter;
// The score and its unit "点" stand in labels of different heights; both
// set their text from the top, so that they share one baseline.
inline constexpr Qt::Alignment kRightTop = Qt::AlignRight | Qt::AlignTop;
inline constexpr Qt::Alignment kLeftTop = Qt::AlignLeft | Qt::AlignTop;

inline const std::array<ControlSpec, 11> kControls{{
    {"cmdスタート", Kind::Button, {24, 56, 81, 33}, u"スタート", kGothic9Bold, kCentre, {}, Sizing::Fixed},
    {"Label1", Kind::Label, {8, 104, 105, 25}, u"あと　 　 分", kGothic12Bold, kCentre, kPink, Sizing::Fixed},
    {"lbl秒", Kind::Label, {48, 104, 49, 25}, u"", kGothic1425Bold, kCentre, kPink, Sizing::Fixed},
    {"cmd得点", Kind::Button, {24, 208, 81, 33}, u"得　点", kGothic9Bold, kCentre, {}, Sizing::Fixed},
    {"Label4", Kind::Label, {8, 256, 121, 17}, u"（平均 64,62 点）", kGothic9Bold, kLeft, {}, Sizing::Fixed},
    {"Label2", Kind::Label, {24, 280, 73, 25}, u"点", kGothic1425Bold, kRightTop, kPink, Sizing::Fixed},
    {"lbl得点", Kind::Label, {40, 280, 0, 19}, u"", kGothic1425Bold, kLeftTop, kPink, Sizing::WidthFollowsText},
    {"cmd合格率", Kind::Button, {24, 384, 81, 33}, u"合格率", kGothic975Bold, kCentre, {}, Sizing::Fixed},
    {"stbKarvel", Kind::TabControl, {128, 0, 657, 393}, u"", kGothic9, kLeft, {}, Sizing::Fixed},
    {"SSTab2", Kind::TabControl, {128, 400, 653, 161}, u"", kGothic9, kLeft, kYellow, Sizing::Fixed},
    {"MMControl1", Kind::SoundStrip, {0, 536, 313, 22}, u"", kWindowDefault, kLeft, {}, Sizing::Fixed},
}};

// Both tab controls: tab height 520 HIMETRIC, about 20 pixels at 96 dpi.
inline constexpr int kTabHeight = 20;
inline constexpr int kPaperTabsPerRow = 5;
inline constexpr int kAnswerTabsPerRow = 10;

inline constexpr int kTimerInterval = 1000; // tmr時間, ms

// The paper tab control stbKarvel: one control on each of its five tabs.
enum class PaperContent { Paper, Figure };

struct PaperTabSpec
{
    const char16_t *caption;
    const char *name;
    PaperContent content;
    QRect geometry;
    const char *resource;
};

inline constexpr std::array<PaperTabSpec, 5> kPaperTabs{{
    {u"問題", "RichTextBox1", PaperContent::Paper, {8, 24, 641, 361}, ":/content/paper.rtf"},
    {u"図 1", "Picture1", PaperContent::Figure, {144, 24, 369, 361}, ":/content/figure1.jpg"},
    {u"図 2", "Picture2", PaperContent::Figure, {120, 40, 385, 329}, ":/content/figure2.jpg"},
    {u"図 3", "Picture3", PaperContent::Figure, {96, 32, 473, 345}, ":/content/figure3.jpg"},
    {u"図 4", "Picture4", PaperContent::Figure, {8, 24, 641, 361}, ":/content/figure4.jpg"},
}};

// The answer tab control SSTab2: tab k holds the mark and the answer frame
// of question k + 1. The tab captions come with the answer key.
inline constexpr QRect kFrame{96, 88, 465, 57};
inline constexpr int kFrameShiftedLeft = 104;
inline constexpr std::array<int, 5> kFramesShifted{10, 13, 14, 16, 18};
inline constexpr const char16_t *kFrameCaption = u"答え";

// Questions whose frame and boxes have no font of their own and use the
// window's default font.
inline constexpr int kDefaultFontFirst = 10;
inline constexpr int kDefaultFontLast = 19;

// The four boxes inside a frame: caption, left, width (all at top 24, 17 high).
struct BoxSpec
{
    const char16_t *caption;
    int left;
    int width;
};

inline constexpr int kBoxTop = 24;
inline constexpr int kBoxHeight = 17;
inline constexpr std::array<BoxSpec, 4> kBoxes{{
    {u"①", 64, 49},
    {u"②", 160, 33},
    {u"③", 264, 73},
    {u"④", 368, 65},
}};

// Boxes narrower than the rule: question, box index, width.
struct BoxWidthException
{
    int question;
    int index;
    int width;
};

inline constexpr std::array<BoxWidthException, 4> kBoxWidthExceptions{{
    {3, 3, 49},
    {3, 4, 41},
    {4, 3, 41},
    {4, 4, 41},
}};

// Box 1 of question 20 has a Western serif font of its own.
inline constexpr int kSerifBoxQuestion = 20;
inline constexpr int kSerifBoxIndex = 1;

// The circle marks: the rule, and the questions whose box differs.
inline constexpr QRect kMark{40, 104, 41, 41};

struct MarkException
{
    int question;
    QRect geometry;
};

inline constexpr std::array<MarkException, 7> kMarkExceptions{{
    {1, {40, 104, 33, 33}},
    {2, {40, 104, 49, 41}},
    {3, {40, 104, 41, 33}},
    {5, {40, 104, 57, 41}},
    {9, {32, 104, 41, 41}},
    {13, {48, 104, 41, 41}},
    {16, {48, 104, 41, 41}},
}};
inline constexpr const char *kMarkImage = ":/content/maru.ico";

// The keyboard focus order as stored: a control's tab index. Marks and
// boxes are numbered by formula; see tabIndexOfMark and tabIndexOfBox.
struct TabIndexSpec
{
    const char *name;
    int index;
};

inline constexpr std::array<TabIndexSpec, 11> kTabIndexes{{
    {"cmdスタート", 0},
    {"stbKarvel", 1},
    {"RichTextBox1", 2},
    {"SSTab2", 3},
    {"Picture1", 45},
    {"Picture2", 46},
    {"Picture3", 47},
    {"Picture4", 48},
    {"cmd得点", 50},
    {"cmd合格率", 53},
    {"MMControl1", 256},
}};

// Marks 40 down to 1 take 4 to 43.
constexpr int tabIndexOfMark(int question) { return 44 - question; }
// The frame of question n takes 50 + 5n, then its boxes ①, ④, ③, ②.
constexpr int tabIndexOfFrame(int question) { return 50 + 5 * question; }
constexpr int tabIndexOfBox(int question, int index)
{
    constexpr int offset[5] = {0, 1, 4, 3, 2};
    return 50 + 5 * question + offset[index];
}

} // namespace karvel::examlayout
