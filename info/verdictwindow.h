#pragma once

#include <QColor>
#include <QRect>
#include "infowindow.h"

#include <array>

namespace karvel {

// The six verdict windows frm合格ライン1 .. frm合格ライン6: a pass rate in
// large type, a one-line comment, and the table of pass lines below.
namespace verdictlayout {

inline constexpr const char16_t *kTitle = u"合格ライン";
inline constexpr int kClientWidth = 792;
inline constexpr int kClientHeight = 573;
inline constexpr QColor kBackground(255, 128, 128);
inline constexpr QRect kView{0, 88, 793, 489};
inline constexpr const char *kDocument = ":/content/passline.rtf";
inline constexpr int kLabel2Top = 56;
inline constexpr int kLabel2Height = 17;

// What differs from window to window.
struct VerdictSpec
{
    const char16_t *rate;     // Label1
    QColor rateBackground;
    QRect rateGeometry;
    const char16_t *comment;  // Label2
    int commentLeft;
    int commentWidth;
};

inline constexpr std::array<VerdictSpec, 6> kVerdicts{{
    {u" 合格率 ９９％", {255, 0, 0}, {312, 16, 169, 25},
     u" あなたは八百長です。 一流大学に不正入試できるでしょう。", 160, 481},
    {u" 合格率 ８０％", {255, 192, 128}, {312, 16, 169, 25},
     u" たいへんよくできました。 合コン生活までもう少しです。", 168, 465},
    {u" 合格率 ５０％", {255, 255, 128}, {328, 16, 169, 25},
     u" 三流大学でも危ないです。 一生懸命お祈りしましょう。", 192, 449},
    {u" 合格率 １０％", {128, 255, 128}, {312, 16, 169, 25},
     u" 浪人生活にリーチです。 金属バットを持たないようにしましょう。", 128, 537},
    {u" 合格率 ０％", {128, 255, 255}, {320, 16, 145, 25},
     u" 受験料がもったいないです。 来年の進学はあきらめましょう。", 144, 497},
    {u" 計測不能", {128, 128, 255}, {336, 16, 121, 25},
     u" 受験する資格はありません。 大学生になるには自分で経営しましょう。", 112, 569},
}};

} // namespace verdictlayout

class VerdictWindow : public InfoWindow
{
    Q_OBJECT

public:
    // `window` is 1..6.
    explicit VerdictWindow(int window, QWidget *parent = nullptr);
};

} // namespace karvel
