#pragma once

#include <array>
#include <QString>

namespace karvel {

// One row of the answer key: the question (1..40), its tab caption, the
// index of the correct box (1 = ① .. 4 = ④) and what the question is worth.
struct KeyRow
{
    int question;
    const char16_t *caption;
    int choice;
    int points;
};

inline constexpr int kQuestionCount = 40;
inline constexpr int kChoiceCount = 4;

// The fixed answer key, in question order.
const std::array<KeyRow, kQuestionCount> &answerKey();

// The tab caption of question n (1..40), e.g. "2A-問1" for question 11.
QString tabCaption(int question);

} // namespace karvel
