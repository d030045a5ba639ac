#include "shell/about_dlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "res/resource_ids.h"

namespace tarvel {

QString LegalNotice() {
    return QStringLiteral("This software is protected by copyright law.\n\n") +
           QStringLiteral("MetaStock is a registered\ntrademark of its\nrespective holder.") +
           QStringLiteral("  CompuTrac is a registered\ntrademark of its\nrespective holder.");
}

namespace {

// `text` as flowing paragraphs: its line breaks within a paragraph were cut
// for a fixed width and would make ragged lines where the label wraps.
QString Flowing(const QString& text) {
    QStringList paragraphs = text.split(QStringLiteral("\n\n"));
    for (QString& paragraph : paragraphs) paragraph = paragraph.simplified();
    return paragraphs.join(QStringLiteral("\n\n"));
}

QLabel* Centred(const QString& text, QWidget* parent) {
    auto* label = new QLabel(Flowing(text), parent);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    return label;
}

}  // namespace

CAboutDlg::CAboutDlg(int* visitedMail, int* visitedWeb, QWidget* parent)
    : QDialog(parent), m_wndMailLink(this), m_wndWebLink(this), m_strLegal(LegalNotice()) {
    setWindowTitle(QStringLiteral("About Tarvel"));
    setObjectName(QString::number(res::IDD_ABOUTBOX));

    auto* does = new QGroupBox(QStringLiteral("What Tarvel Does"), this);
    auto* doesLayout = new QVBoxLayout(does);
    doesLayout->addWidget(
        Centred(QStringLiteral("Converts historical financial data in ASCII form to data in "
                               "MetaStock or CompuTrac format"),
                does));

    auto* legal = new QGroupBox(QStringLiteral("Legal Stuff"), this);
    auto* legalLayout = new QVBoxLayout(legal);
    QLabel* legalText = Centred(m_strLegal, legal);
    legalText->setObjectName(QString::number(res::IDC_LEGAL));
    legalLayout->addWidget(legalText);

    auto* right = new QVBoxLayout;
    right->addWidget(Centred(QStringLiteral("Tarvel Version 1.6"), this));
    right->addWidget(Centred(QStringLiteral("Copyright \u00A9 2024\u20132026 the Tarvel developers"), this));
    right->addWidget(Centred(QStringLiteral("A desktop application\nby\nthe Tarvel developers"), this));
    for (auto [link, id, text, flag] :
         {std::tuple{&m_wndMailLink, res::IDC_MAIL_LINK, res::kMailAddress, visitedMail},
          std::tuple{&m_wndWebLink, res::IDC_WEB_LINK, res::kWebAddress, visitedWeb}}) {
        link->setText(QString::fromLatin1(text));
        link->setObjectName(QString::number(id));
        link->setAlignment(Qt::AlignCenter);
        link->m_pVisited = flag;
        right->addWidget(link);
    }
    auto* icon = new QLabel(this);
    icon->setPixmap(QPixmap(QStringLiteral(":/icons/tarvel.png"))
                        .scaled(32, 32, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    icon->setAlignment(Qt::AlignCenter);
    right->addWidget(icon);
    right->addStretch();
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("1"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    right->addWidget(ok, 0, Qt::AlignRight);

    auto* left = new QVBoxLayout;
    left->addWidget(does);
    left->addWidget(legal);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(right, 1);
    setMinimumWidth(660);
    ok->setFocus();
}

}  // namespace tarvel
