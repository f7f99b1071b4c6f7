#include "answerkey.h"

namespace karvel {

namespace {

// question, tab caption, correct choice, points
constexpr std::array<KeyRow, kQuestionCount> kKey{{
    { 1, u"1A-問1", 3, 3 },
    { 2, u"1A-問2", 2, 2 },
    { 3, u"1A-問3", 3, 3 },
    { 4, u"1B-問4", 3, 2 },
    { 5, u"1B-問5", 3, 2 },
    { 6, u"1B-問6", 1, 3 },
    { 7, u"1C-問7", 4, 3 },
    { 8, u"1C-問8", 2, 2 },
    { 9, u"1C-問9", 1, 3 },
    { 10, u"1C-問10", 4, 2 },
    { 11, u"2A-問1", 3, 3 },
    { 12, u"2A-問2", 2, 3 },
    { 13, u"2A-問3", 4, 2 },
    { 14, u"2A-問4", 4, 2 },
    { 15, u"2B-問5", 2, 3 },
    { 16, u"2B-問6", 3, 2 },
    { 17, u"2B-問7", 3, 3 },
    { 18, u"2C-問8", 2, 3 },
    { 19, u"2C-問9", 4, 3 },
    { 20, u"2C-問10", 4, 2 },
    { 21, u"2C-問11", 2, 2 },
    { 22, u"3A-問1", 4, 2 },
    { 23, u"3A-問2", 1, 3 },
    { 24, u"3A-問3", 3, 3 },
    { 25, u"3B-問4", 4, 2 },
    { 26, u"3B-問5", 4, 3 },
    { 27, u"3B-問6", 2, 2 },
    { 28, u"3C-問7", 1, 2 },
    { 29, u"3C-問8", 4, 3 },
    { 30, u"3C-問9", 4, 2 },
    { 31, u"4A-問1", 1, 2 },
    { 32, u"4A-問2", 1, 3 },
    { 33, u"4A-問3", 4, 2 },
    { 34, u"4A-問4", 2, 3 },
    { 35, u"4B-問5", 3, 3 },
    { 36, u"4B-問6", 2, 2 },
    { 37, u"4B-問7", 3, 2 },
    { 38, u"4C-問8", 2, 3 },
    { 39, u"4C-問9", 3, 3 },
    { 40, u"4C-問10", 1, 2 },
}};

} // namespace

const std::array<KeyRow, kQuestionCount> &answerKey()
{
    return kKey;
}

QString tabCaption(int question)
{
    return QString::fromUtf16(kKey.at(question - 1).caption);
}

} // namespace karvel
