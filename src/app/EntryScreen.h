// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/LastJob.h"
#include "job/JobEditor.h"
#include "job/SheetTypes.h"
#include "job/TextCharacters.h"
#include "lists/JobSummary.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace Ui {
class TfrmMain;
}

namespace corvial {

class LineBox;
class MemoBox;

// What the entry screen needs from the window around it.
struct EntryHost
{
    std::function<void(const QString &)> message; // a message box over the window
    std::function<void(const QString &)> status;  // the window's status line
    // The loaded list as the current type prints it, or nothing without one in use.
    std::function<std::optional<ListExtent>()> listExtent;
    // A sheet type has just been chosen: the window brings its list, menus and history along.
    std::function<void()> typeChosen;
};

// The entry screen: the sheet type, the number lists and the label texts, written into the
// window's job as the user chooses them, and the lines that tell how the job stands (its size,
// the room left in the text box, where the last job of the type ended).
class EntryScreen : public QObject
{
    Q_OBJECT

public:
    // ui: the window's form, set up; job: the window's job, which outlives this screen.
    EntryScreen(Ui::TfrmMain &ui, JobEditor &job, EntryHost host, QObject *parent = nullptr);

    void chooseSheetType(SheetType type);
    // Shows the controls of entry layout 1..7 (other values: only the number's controls).
    void ShowEntryLayout(int layout);
    void ShowRepeatChoice(bool shown);
    void ListBox2Click();
    void ListBox1Click();
    void ListBox12Click();
    void Edit2Change();
    void Memo8Change();
    void Memo5Change();
    // Bytes Memo8 holds for the sheet type last chosen that types a few lines.
    int memo8MaxLength() const { return mMemo8MaxLength; }

    // Tells the user, naming what (a box's role), of each character box refuses.
    void watchCharacters(MemoBox *box, const QString &what);
    void watchCharacters(LineBox *box, const QString &what);
    static QString labelTextWord();

    // Writes the job's summary line and the open box's byte counter again.
    void refresh();
    // Where the last job of the current type ended, found away from the window; nothing
    // hides the line and the button.
    void showLastJob(const std::optional<LastJob> &job);

private:
    void updateBytesLeft();
    void continueNumbers();
    void characterRefused(const QString &what, const ForbiddenCharacter &character);

    Ui::TfrmMain &mUi;
    JobEditor &mJob;
    EntryHost mHost;
    int mMemo8MaxLength = 38;
    bool mInTextLimit = false;
    int mNextNumber = 0; // the number the last job's numbering goes on with; 0: none shown
};

} // namespace corvial
