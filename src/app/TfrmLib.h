// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QPlainTextEdit;
class QPushButton;

namespace corvial {

// The library notice window: how to register the workbook library on the lab's PCs.
class TfrmLib : public QWidget
{
    Q_OBJECT

public:
    explicit TfrmLib(QWidget *parent = nullptr);

    // The thirteen lines of the notice.
    static QStringList noticeLines();

    QPlainTextEdit *Memo1 = nullptr;
    QPushButton *Button1 = nullptr;

signals:
    void dismissed();

public slots:
    void Button1Click();

protected:
    void closeEvent(QCloseEvent *event) override;
};

} // namespace corvial
