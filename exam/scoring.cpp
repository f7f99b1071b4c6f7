#include "scoring.h"

namespace karvel {

bool isRight(const Boxes &boxes, int correctChoice)
{
    for (int k = 1; k <= kChoiceCount; ++k) {
        if (boxes[k - 1] != (k == correctChoice))
            return false;
    }
    return true;
}

Result score(const Sheet &sheet)
{
    Result result;
    for (const KeyRow &row : answerKey()) {
        const bool right = isRight(sheet[row.question - 1], row.choice);
        result.right[row.question - 1] = right;
        if (right)
            result.total += row.points;
    }
    return result;
}

int verdictWindowFor(const QString &scoreText)
{
    if (scoreText.isEmpty())
        return 0;
    bool ok = false;
    const int s = scoreText.toInt(&ok);
    if (!ok || s < 0 || s > 100)
        return 0;
    // Tested in this order; the first that holds wins.
    if (s == 100)
        return 1;
    if (s >= 80)
        return 2;
    if (s >= 60)
        return 3;
    if (s >= 40)
        return 4;
    if (s >= 1)
        return 5;
    return 6;
}

} // namespace karvel
