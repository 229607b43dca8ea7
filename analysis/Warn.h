#pragma once

#include <QDialog>

// The confirmation before a CSV file is overwritten. Its texts come with the export.
class TOKBottomDlg : public QDialog {
    Q_OBJECT
public:
    explicit TOKBottomDlg(QWidget* parent = nullptr);
    ~TOKBottomDlg() override;
};

extern TOKBottomDlg* OKBottomDlg;
