#pragma once

#include "answerkey.h"

#include <array>

namespace karvel {

// The ticks of one question's four boxes; index 0 is box ① .. 3 is box ④.
using Boxes = std::array<bool, kChoiceCount>;
// The whole answer sheet, question 1 first.
using Sheet = std::array<Boxes, kQuestionCount>;

// A question is right when its correct box alone is ticked.
bool isRight(const Boxes &boxes, int correctChoice);

struct Result
{
    std::array<bool, kQuestionCount> right{};
    int total = 0;
};

// Judges every question of the sheet against the answer key.
Result score(const Sheet &sheet);

// The verdict window (1..6) for a score text, by band: 100 → 1, 80–99 → 2,
// 60–79 → 3, 40–59 → 4, 1–39 → 5, 0 → 6. An empty text, or one that is not
// a score, selects none (0).
int verdictWindowFor(const QString &scoreText);

} // namespace karvel
