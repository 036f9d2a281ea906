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

// True when the job has more labels than one job may print (sampleCount x repeatCount above
// MaxJobLabels).
bool exceedsJobSize(const LabelJob &job);
// The message PrintSet shows for such a job.
QString tooManyLabelsText();

// Why a label text does not fit a sheet type, as typing it into the type's entry box would
// have shown it; kind None when it fits.
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
        CutByLimit,   // the entry box would have cut the text to `cut`
    };
    Kind kind = None;
    int line = 0;
    int lines = 0;
    int bytes = 0;
    int limit = 0;
    bool singleLine = false;      // the type takes one line only (its entry box is a line edit)
    QString character;            // Unprintable, NotShiftJis: the character
    ForbiddenCharacter forbidden; // Unprintable: what it is and where
    QString cut;                  // CutByLimit: what would be left
};

// Checks text ("\n" between lines; "\r\n" and "\r" count as one break) against the limits of
// sheet type 1..10, with the same limit functions that cut the window's entry boxes. A control
// or invisible character is refused before anything else, wherever the text came from.
TextProblem checkLabelText(const QString &text, int sheetType);
// The problem as a Japanese sentence naming the sheet type; empty for None.
QString textProblemText(const TextProblem &problem, int sheetType);
// "シートタイプ N（caption）", the way messages name a sheet type.
QString sheetTypeWord(int sheetType);

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

// The circle text the export writes for the job: a blank circle text becomes a space, as
// the circle proof shows it; the texts of the other types are not touched.
QString exportedCircleText(const LabelJob &job);

} // namespace corvial
