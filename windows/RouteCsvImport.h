#pragma once
// A route of one's own, from the options' first page: the route spreadsheet
// (CSV) and, if there is one, the announcement list written in UTF-8 or code
// page 932, turned into <route>.hy3 in the fare folder and <route>tp.csv in
// the announcement folder, as `soratobi4-route to-hy3` and `tape` do, with
// the same errors named by line and column.
#include <QDialog>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

class RouteCsvImport : public QDialog {
    Q_OBJECT
public:
    explicit RouteCsvImport(QWidget *parent = nullptr);

    QLineEdit *txtRoute = nullptr, *txtTape = nullptr;
    QPushButton *cmdBrowseRoute = nullptr, *cmdBrowseTape = nullptr;
    QSpinBox *txtNumber = nullptr;
    QPushButton *cmdImport = nullptr, *cmdClose = nullptr;
    QPlainTextEdit *txtReport = nullptr;

    // Reads both files, and writes them only when both read cleanly; false
    // with the reason in the report otherwise.
    bool importFiles();

private:
    void report(const QString &line);
};
