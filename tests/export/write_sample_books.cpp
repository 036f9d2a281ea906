// SPDX-License-Identifier: GPL-3.0-or-later
// Writes two workbooks through the real library for the read-back checks:
// circle.xls, a framed circle job in red on sky blue, and tube.xls, a 400-sample
// two-line tube job whose numbers run into a fifth digit.
#include "export/WorkbookExport.h"
#include "export/XlsCrtLibrary.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT-DIRECTORY\n", argv[0]);
        return 2;
    }
    const QDir out(QFile::decodeName(argv[1]));
    if (!out.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }

    corvial::ExportJob circle;
    circle.sheetType = corvial::SheetType::fromCode(1).value();
    circle.sampleCount = 3;
    circle.initialValue = 98;
    circle.numberStyle = corvial::NumberStyle::Padded;
    circle.proofText = QStringLiteral(u"血清A");
    circle.textColourIndex = 1; // Red
    circle.backColourIndex = 2; // SkyBlue
    circle.frame = true;
    circle.date = QDate(2026, 12, 7);

    corvial::ExportJob tube;
    tube.sheetType = corvial::SheetType::fromCode(5).value();
    tube.sampleCount = 400;
    tube.initialValue = 9990;
    tube.numberStyle = corvial::NumberStyle::Plain;
    tube.proofText = QStringLiteral(u"ABCDEFG\n血清ABCDEF");
    tube.textColourIndex = 2; // Blue
    tube.backColourIndex = 1; // Yellow
    tube.frame = true;        // only a circle label has a frame
    tube.date = QDate(2026, 12, 7);

    corvial::XlsCrtLibrary library;
    int32_t bookHandle = 0;
    const std::pair<QString, const corvial::ExportJob *> books[] = {
        {QStringLiteral("circle.xls"), &circle}, {QStringLiteral("tube.xls"), &tube}};
    for (const auto &[name, job] : books) {
        const QString path = out.filePath(name);
        const corvial::ExportResult result =
            corvial::writeWorkbook(library, path, *job, &bookHandle);
        if (!result.written()) {
            std::fprintf(stderr, "%s\n", qPrintable(corvial::exportErrorText(path, result)));
            return 1;
        }
    }
    return 0;
}
