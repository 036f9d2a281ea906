// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "job/LabelJob.h"
#include "job/SheetTypes.h"
#include "job/TextCharacters.h"

#include <QString>
#include <QVector>

namespace corvial {

// The rules every front end applies to a job: the window and the batch printer both call
// these, so a job is refused, checked and continued the same way whichever one printed it.

// What the entry screen's number lists offer, and what a job may ask for.
constexpr int MinSampleCount = 1;
constexpr int MaxSampleCount = MaxJobLabels;
constexpr int MinRepeatCount = 1;
constexpr int MaxRepeatCount = 5;
// The first-number list offers 1..9990; a numbering continued after a print reaches 0 and
// 9991..9999 too, so a job may start from any of 0..9999.
constexpr int FirstNumberListMax = 9990;
constexpr int MinFirstNumber = 0;
constexpr int MaxFirstNumber = 9999;

// Label font sizes, in points, a job may be set in: the font dialog's own range. A size
// the dialog never offers reaches a job only from an edited record.
constexpr int MinLabelFontPoints = 1;
constexpr int MaxLabelFontPoints = 512;

// Why repeatCount labels per sample cannot be printed on the sheet type (a type that does not
// show the choice prints one per sample); empty when they can. The range is checked apart.
QString repeatProblem(SheetType sheetType, int repeatCount);
// Why job breaks a rule the entry screen holds every job to, naming the rule in Japanese:
// sample count, labels per sample, first number, job size, each text against the type's
// text box, the marker, the colours and the font size; empty when it keeps them all. The
// 2-D code's rules need the barcode library (jobCodeProblem in barcode/CodeRules.h).
QString jobRuleProblem(const LabelJob &job);

// True when the job has more labels than one job may print (sampleCount x repeatCount above
// MaxJobLabels).
bool exceedsJobSize(const LabelJob &job);
// The message shown for such a job instead of its proof.
QString tooManyLabelsText();

// Why a label text does not fit a sheet type, as typing it for the type's label would have
// shown it; kind None when it fits.
struct TextProblem
{
    enum Kind {
        None,
        Unprintable,  // `character` (on line `line`) is a control or invisible character
        NotShiftJis,  // `character` has no Shift-JIS form
        MarkerType,   // the type prints a marker, not a text
        TooManyLines, // `lines` lines, `limit` allowed
        LineTooLong,  // line `line` (1-based) has `bytes`, `limit` allowed
        TextTooLong,  // the whole text has `bytes` with its line breaks, `limit` allowed
        CutByLimit,   // typing would have cut the text to `cut`
    };
    Kind kind = None;
    int line = 0;
    int lines = 0;
    int bytes = 0;
    int limit = 0;
    bool singleLine = false;      // the type's label takes one line only
    QString character;            // Unprintable, NotShiftJis: the character
    ForbiddenCharacter forbidden; // Unprintable: what it is and where
    QString cut;                  // CutByLimit: what would be left
};

// Checks text ("\n" between lines; "\r\n" and "\r" count as one break) against the text box of
// the sheet type, with the same limit functions that cut the text as it is typed. A control or
// invisible character is refused before anything else, wherever the text came from.
TextProblem checkLabelText(const QString &text, SheetType sheetType);
// The problem as a Japanese sentence naming the sheet type; empty for None.
QString textProblemText(const TextProblem &problem, SheetType sheetType);
// "シートタイプ N（caption）", the way messages name a sheet type.
QString sheetTypeWord(SheetType sheetType);

// One sheet of a job: label positions firstPos..lastPos of sheet sheetNo (1-based).
struct SheetRun
{
    int sheetNo;
    int firstPos;
    int lastPos;
    bool isLastSheet;
};

// The sheets a job of `labels` labels uses from start position startPos (taken as the
// nearest of 1 and perSheet when outside) on sheets of perSheet positions; empty when
// labels or perSheet is not positive.
QVector<SheetRun> splitJob(int labels, int startPos, int perSheet);
// Start position 1..perSheet for the job after that one: the label after its last label.
int nextStartPos(int labels, int startPos, int perSheet);
// First sample number of the next numbered job: initialValue + sampleCount, less 10000 when
// that goes above 9999.
int advancedInitialValue(int initialValue, int sampleCount);

// Where the next job continues once this one has printed.
struct JobAdvance
{
    int sheets = 0;           // sheets the job used
    int labels = 0;           // labels it printed
    int nextStartPos = 1;     // the family's start position for the next job
    bool numbered = false;    // the type prints numbers, so the first number moved on
    int nextInitialValue = 1; // first number of the next job (unchanged when not numbered)
};
JobAdvance advanceAfterPrint(const LabelJob &job);
// What a finished print did and where the next job goes on, as one Japanese line: sheets,
// labels, next start position and next first number ("なし" for a type without numbers).
QString printedSummaryText(const JobAdvance &advance);

// The proof text the export writes for the job: a round label's blank text line becomes a
// space, as its proof shows it; the texts of the other types are not touched.
QString exportedProofText(const LabelJob &job);

} // namespace corvial
