// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "info/about.h"

#include "app/Design.h"
#include "app/ProbnikApplication.h"
#include "resources/Version.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>
#include <QUrl>

#include <algorithm>

TAboutBox* AboutBox = nullptr;

namespace {

constexpr int ClientWidth = 259;
constexpr int ClientHeight = 209;

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, int x, int y)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    // Addresses and the copyright line show "&" and "<" as they are.
    label->setTextFormat(Qt::PlainText);
    label->move(x, y);
    label->adjustSize();
    return label;
}

// Blue, underlined and with the hand: a label that opens something when clicked.
void makeLink(QLabel* label)
{
    QFont font = label->font();
    font.setUnderline(true);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::blue);
    label->setPalette(palette);
    label->setCursor(Qt::PointingHandCursor);
}

QIcon programIcon(const QStyle* style)
{
    QIcon icon = QApplication::windowIcon();
    if (!icon.isNull())
        return icon;
    return QIcon::fromTheme(QStringLiteral("probnik"), style->standardIcon(QStyle::SP_DesktopIcon));
}

} // namespace

TAboutBox::TAboutBox(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutBox"));
    buildDesign();
}

TAboutBox::~TAboutBox()
{
    if (AboutBox == this)
        AboutBox = nullptr;
}

void TAboutBox::buildDesign()
{
    setWindowTitle(QStringLiteral("O programie"));
    setFixedSize(ClientWidth, ClientHeight);
    setFont(design::sansSerif(11));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Button));
    palette.setColor(QPalette::WindowText, Qt::black);
    setPalette(palette);
    setAutoFillBackground(true);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setLineWidth(1);
    Panel1->setGeometry(9, 10, 241, 159);

    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setGeometry(24, 16, 33, 41);
    ProgramIcon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Stretched into its place with its proportions kept.
    const QPixmap icon = programIcon(style()).pixmap(QSize(64, 64));
    ProgramIcon->setPixmap(
        icon.scaled(ProgramIcon->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));

    ProductName = makeLabel(Panel1, "ProductName", QStringLiteral("PROBNIK "), 88, 16);
    // The version as the box has always shown it; the hand over it leads nowhere.
    Version = makeLabel(Panel1, "Version", QStringLiteral("Wersja 1.1.1.1"), 88, 40);
    Version->setCursor(Qt::PointingHandCursor);
    Copyright = makeLabel(
        Panel1, "Copyright", QString::fromUtf8(probnik::version::LegalCopyright), 8, 80);
    Label1 = makeLabel(Panel1, "Label1", QStringLiteral("Pytania i uwagi:"), 8, 104);

    Label2 = makeLabel(Panel1, "Label2", QString::fromUtf8(probnik::version::Email), 88, 104);
    makeLink(Label2);
    Label2->adjustSize();
    Label2->installEventFilter(this);

    // The label shows the address without its scheme, so it fits its designed width.
    QString web = QString::fromUtf8(probnik::version::Web);
    web.remove(QRegularExpression(QStringLiteral("^https?://")));
    Label3 = makeLabel(Panel1, "Label3", web, 88, 131);
    Label3->setFont(design::sansSerif(12));
    makeLink(Label3);
    // Fixed at 139 wide as designed, but never lower than a line, so that the descenders and
    // the underline show whatever the font.
    Label3->setFixedSize(139, std::max(13, Label3->fontMetrics().height()));
    Label3->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label3->installEventFilter(this);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(78, 176, 65, 26);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

void TAboutBox::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TAboutBox::FormShow()
{
    if (const QScreen* s = screen()) {
        const QRect area = s->geometry();
        const QSize outer = frameGeometry().size();
        move(area.x() + (area.width() - outer.width()) / 2,
            area.y() + (area.height() - outer.height()) / 2);
    }
    OKButton->setFocus();
}

bool TAboutBox::eventFilter(QObject* watched, QEvent* event)
{
    // A label is clicked when the left button goes up over it.
    if (event->type() == QEvent::MouseButtonRelease && (watched == Label2 || watched == Label3)) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const auto* label = static_cast<QLabel*>(watched);
        if (mouse->button() == Qt::LeftButton
            && label->rect().contains(mouse->position().toPoint())) {
            if (watched == Label2)
                Label2Click();
            else
                Label3Click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TAboutBox::Label2Click()
{
    ProbnikApplication::dialogs().openUrl(QUrl(QStringLiteral("mailto:")
        + QString::fromUtf8(probnik::version::Email) + QStringLiteral("?Subject=Probnik")));
}

void TAboutBox::Label3Click()
{
    ProbnikApplication::dialogs().openUrl(QUrl(QString::fromUtf8(probnik::version::Web)));
}

QStringList manualFolders()
{
    return { QCoreApplication::applicationDirPath(), QStringLiteral(PROBNIK_DOC_DIR),
        QDir::currentPath() };
}

QString findManual(const QStringList& folders)
{
    for (const QString& folder : folders) {
        const QFileInfo manual(QDir(folder), QString::fromLatin1(ManualFileName));
        if (manual.isFile())
            return manual.absoluteFilePath();
    }
    return {};
}
