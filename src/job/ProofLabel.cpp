// SPDX-License-Identifier: GPL-3.0-or-later
#include "job/ProofLabel.h"

#include "job/Colours.h"
#include "job/NumberText.h"
#include "job/ShiftJis.h"
#include "job/TextLimits.h"

namespace corvial {

namespace {

// Longer lines get smaller type so that the proof box keeps them on one line. From ten
// bytes on the smallest size stays, rather than the platform's default height, which is
// larger and would overflow the box.
struct FontStep
{
    int below;
    int points;
};
const FontStep kMemoSizes[] = {{6, 12}, {8, 10}, {10, 9}};
constexpr int kLongMemoPoints = 8;

const FontStep kPlainNumberSizes[] = {{10, 18}, {100, 16}, {1000, 14}};
constexpr int kNumberPoints = 12;

// The markers are printed large, white on red, whatever the lists said before.
constexpr int kMarkerPoints = 24;
const QLatin1String kMarkerBack("Red");
const QLatin1String kMarkerText("White");

// Only the four lines a memo label holds are carried over, line by line, when the entry
// memo somehow has a fifth line; otherwise the whole text.
QString memoProofText(const QString &typed, const QString &editedProof)
{
    const QStringList entry = memoLines(typed);
    if (entry.size() < 5 || entry.at(4).isEmpty())
        return typed;
    QStringList proof = memoLines(editedProof);
    for (int i = 0; i < 4 && i < proof.size(); ++i)
        proof[i] = entry.at(i);
    return proof.join(QLatin1Char('\n'));
}

} // namespace

QString circleProofText(const QString &entryText)
{
    return sjisLeft(entryText, OneLineMaxBytes);
}

namespace {

// The markers as the entry screen offers them and as they are printed. The captions use the
// long-vowel mark the entry screen has always shown; the printed text has U+FF0D, the
// Shift-JIS full-width minus (81 7C), because the long-vowel mark would print as a dash of
// the wrong height.
struct Marker
{
    const char *caption;
    const char16_t *printed;
};
const Marker kMarkers[MarkerCount] = {
    {"ー２０℃", u"\uFF0D\uFF12\uFF10\u2103"},
    {"ー８０℃", u"\uFF0D\uFF18\uFF10\u2103"},
    {"注意", u"注意"},
    {"危険", u"危険"},
};

} // namespace

QString markerCaption(int item)
{
    return item >= 0 && item < MarkerCount ? QString::fromUtf8(kMarkers[item].caption) : QString();
}

QString markerText(int item)
{
    return item >= 0 && item < MarkerCount ? QString::fromUtf16(kMarkers[item].printed) : QString();
}

int memoFontSizeForText(const QString &memoText)
{
    const int bytes = qMax(sjisLength(memoLine(memoText, 0)), sjisLength(memoLine(memoText, 1)));
    for (const FontStep &step : kMemoSizes) {
        if (bytes < step.below)
            return step.points;
    }
    return kLongMemoPoints;
}

int NumberFontSize(int n, NumberStyle style)
{
    if (style == NumberStyle::Padded)
        return kNumberPoints;
    for (const FontStep &step : kPlainNumberSizes) {
        if (n < step.below)
            return step.points;
    }
    return kNumberPoints;
}

ProofLabelContent circleProof(const QString &entryText, int initialValue, NumberStyle style)
{
    ProofLabelContent p;
    p.kind = ProofKind::Circle;
    p.circleText = circleProofText(entryText);
    p.circleNumber = numberText(initialValue, style);
    return p;
}

ProofLabelContent proofLabelFor(const ProofInput &in)
{
    const SheetTypeInfo &info = in.sheetType.info();
    if (info.proofKind == ProofKind::Circle)
        return circleProof(in.text, in.initialValue, in.numberStyle);

    ProofLabelContent p;
    p.kind = info.proofKind;
    switch (info.textBox.kind) {
    case TextBoxKind::Marker:
        p.text = markerText(in.marker);
        p.textPoints = kMarkerPoints;
        p.fixedColours = true;
        p.backColourIndex = int(backColourNames().indexOf(kMarkerBack));
        p.textColourIndex = int(textColourNames().indexOf(kMarkerText));
        return p;
    case TextBoxKind::Memo:
        p.text = memoProofText(in.text, in.editedProof);
        // The size follows the text as typed, even where the proof keeps an edited line.
        p.textPoints = memoFontSizeForText(in.text);
        break;
    case TextBoxKind::Lines:
    case TextBoxKind::OneLine:
        p.text = in.text;
        p.textPoints = memoFontSizeForText(in.text);
        break;
    }
    if (info.proofKind == ProofKind::Number) {
        p.number = numberText(in.initialValue, in.numberStyle);
        if (info.proofNumberSized)
            p.numberPoints = NumberFontSize(in.initialValue, in.numberStyle);
    }
    return p;
}

} // namespace corvial
