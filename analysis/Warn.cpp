#include "Warn.h"

TOKBottomDlg* OKBottomDlg = nullptr;

TOKBottomDlg::TOKBottomDlg(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("OKBottomDlg"));
    setWindowTitle(QStringLiteral("Uwaga!"));
    resize(204, 114);
}

TOKBottomDlg::~TOKBottomDlg()
{
    if (OKBottomDlg == this)
        OKBottomDlg = nullptr;
}
