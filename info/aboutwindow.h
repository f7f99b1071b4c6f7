#pragma once

#include "infowindow.h"

namespace karvel {

// The About window frmヘルプ: the description of the program.
namespace aboutlayout {

inline constexpr const char16_t *kTitle = u"バージョン情報";
inline constexpr int kClientWidth = 792;
inline constexpr int kClientHeight = 573;
inline constexpr QColor kBackground(255, 255, 255);
inline constexpr QRect kView{0, 0, 793, 577};
inline constexpr const char *kDocument = ":/content/about.rtf";

} // namespace aboutlayout

class AboutWindow : public InfoWindow
{
    Q_OBJECT

public:
    explicit AboutWindow(QWidget *parent = nullptr);
};

} // namespace karvel
