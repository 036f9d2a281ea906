// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/HistoryExport.h"

#include <iterator>

namespace corvial {

namespace {

using Rows = ListingRowWriter;

void idCell(Rows &w, qint64 id)
{
    if (id > 0)
        w.whole(id);
    else
        w.null();
}

// One column: its heading word, what it holds, and how an entry writes it. CSV and JSON,
// and the listing read straight from the database, all come from these rows, so that they
// always carry the same keys in the same order.
struct Column
{
    const char *key;
    ListingCellKind kind;
    void (*write)(const HistoryEntry &, Rows &);
};

using K = ListingCellKind;
const Column kColumns[] = {
    {"id", K::Whole, [](const HistoryEntry &e, Rows &w) { w.whole(e.id); }},
    {"started_utc", K::Time, [](const HistoryEntry &e, Rows &w) { w.time(e.record.startedUtc); }},
    {"user", K::Text, [](const HistoryEntry &e, Rows &w) { w.text(e.record.user); }},
    {"host", K::Text, [](const HistoryEntry &e, Rows &w) { w.text(e.record.host); }},
    {"program", K::Text, [](const HistoryEntry &e, Rows &w) { w.text(e.record.program); }},
    {"sheet_type", K::Whole, [](const HistoryEntry &e, Rows &w) { w.whole(e.record.sheetType); }},
    {"samples", K::Whole, [](const HistoryEntry &e, Rows &w) { w.whole(e.record.samples); }},
    {"repeat", K::Whole, [](const HistoryEntry &e, Rows &w) { w.whole(e.record.repeat); }},
    {"first_number", K::Whole,
     [](const HistoryEntry &e, Rows &w) { w.whole(e.record.firstNumber); }},
    {"number_style", K::Text, [](const HistoryEntry &e, Rows &w) { w.text(e.record.numberStyle); }},
    {"start_position", K::Whole,
     [](const HistoryEntry &e, Rows &w) { w.whole(e.record.startPosition); }},
    {"labels", K::Whole, [](const HistoryEntry &e, Rows &w) { w.whole(e.record.labels); }},
    {"sheets", K::Whole, [](const HistoryEntry &e, Rows &w) { w.whole(e.record.sheets); }},
    {"next_position", K::Whole,
     [](const HistoryEntry &e, Rows &w) { w.whole(e.record.nextPosition); }},
    {"next_number", K::Whole, [](const HistoryEntry &e, Rows &w) { w.whole(e.record.nextNumber); }},
    {"queue", K::Text, [](const HistoryEntry &e, Rows &w) { w.text(e.record.queue); }},
    {"cups_job_id", K::Id, [](const HistoryEntry &e, Rows &w) { idCell(w, e.cupsJobId); }},
    {"pdf_path", K::Text, [](const HistoryEntry &e, Rows &w) { w.text(e.record.pdfPath); }},
    {"sample_texts", K::Texts,
     [](const HistoryEntry &e, Rows &w) {
         w.startTexts();
         for (const QString &text : e.record.sampleTexts)
             w.textItem(QStringView(text));
         w.endTexts();
     }},
    {"list_file", K::Text, [](const HistoryEntry &e, Rows &w) { w.text(e.record.listFile); }},
    {"list_sha256", K::Text, [](const HistoryEntry &e, Rows &w) { w.text(e.record.listSha256); }},
    {"job_file", K::Text, [](const HistoryEntry &e, Rows &w) { w.text(e.record.jobFile); }},
    {"job_sha256", K::Text, [](const HistoryEntry &e, Rows &w) { w.text(e.record.jobSha256); }},
    {"marker", K::Text, [](const HistoryEntry &e, Rows &w) { w.text(e.record.marker); }},
    {"text_colour", K::Whole, [](const HistoryEntry &e, Rows &w) { w.whole(e.record.textColour); }},
    {"back_colour", K::Whole, [](const HistoryEntry &e, Rows &w) { w.whole(e.record.backColour); }},
    {"frame", K::Flag, [](const HistoryEntry &e, Rows &w) { w.flag(e.record.frame); }},
    {"alignment", K::Text, [](const HistoryEntry &e, Rows &w) { w.text(e.record.alignment); }},
    {"font_family", K::Text, [](const HistoryEntry &e, Rows &w) { w.text(e.record.fontFamily); }},
    {"font_points", K::Real, [](const HistoryEntry &e, Rows &w) { w.real(e.record.fontPoints); }},
    {"font_style", K::Text, [](const HistoryEntry &e, Rows &w) { w.text(e.record.fontStyle); }},
    {"code", K::Flag, [](const HistoryEntry &e, Rows &w) { w.flag(e.record.code); }},
    {"code_prefix", K::Text, [](const HistoryEntry &e, Rows &w) { w.text(e.record.codePrefix); }},
    {"outcome", K::Text, [](const HistoryEntry &e, Rows &w) { w.text(outcomeWordOf(e)); }},
    {"reason", K::Text, [](const HistoryEntry &e, Rows &w) { w.text(e.reason); }},
    {"outcome_utc", K::Time, [](const HistoryEntry &e, Rows &w) { w.time(e.outcomeUtc); }},
    {"reprint_of", K::Id, [](const HistoryEntry &e, Rows &w) { idCell(w, e.record.reprintOf); }},
};
static_assert(std::size(kColumns) == ListingColumnCount);

} // namespace

const char *listingColumnKey(int column)
{
    return kColumns[column].key;
}

ListingCellKind listingColumnKind(int column)
{
    return kColumns[column].kind;
}

HistoryListingWriter::HistoryListingWriter(bool json, bool bom) : mRows(json, bom) {}

void HistoryListingWriter::add(const QList<HistoryEntry> &entries, QByteArray *out)
{
    mRows.setOutput(out);
    mRows.begin();
    // Written straight into one buffer: a list of cells per row cost more than the cells,
    // and QJsonObjects per entry took seconds for a long history.
    out->reserve(out->size() + entries.size() * 1280);
    for (const HistoryEntry &e : entries) {
        mRows.startRow();
        for (const Column &column : kColumns)
            column.write(e, mRows);
        mRows.endRow();
    }
}

void HistoryListingWriter::finish(QByteArray *out)
{
    mRows.setOutput(out);
    mRows.finish();
}

QByteArray historyCsv(const QList<HistoryEntry> &entries, bool bom)
{
    QByteArray out;
    HistoryListingWriter writer(false, bom);
    writer.add(entries, &out);
    writer.finish(&out);
    return out;
}

QByteArray historyJson(const QList<HistoryEntry> &entries)
{
    QByteArray out;
    HistoryListingWriter writer(true, false);
    writer.add(entries, &out);
    writer.finish(&out);
    return out;
}

} // namespace corvial
