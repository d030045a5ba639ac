#include "shell/choose_dir.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStorageInfo>
#include <cerrno>

#include "pricedb/layout.h"
#include "res/resource_ids.h"

namespace tarvel {

CChooseDir::CChooseDir(CPrompt& prompt, CPlatform& platform, const QString& start, QWidget* parent)
    : QDialog(parent),
      m_editDir(new QLineEdit(this)),
      m_list(new QListWidget(this)),
      m_drives(new QComboBox(this)),
      m_prompt(prompt),
      m_platform(platform) {
    setWindowTitle(QStringLiteral("Choose Directory"));
    setObjectName(QString::number(res::IDD_CHOOSEDIR));
    m_editDir->setObjectName(QString::number(res::IDC_DIRECTORY_NAME));

    auto* nameLabel = new QLabel(QStringLiteral("Directory &name:"), this);
    nameLabel->setBuddy(m_editDir);
    auto* drivesLabel = new QLabel(QStringLiteral("Dri&ves and places:"), this);
    drivesLabel->setBuddy(m_drives);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &CChooseDir::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* grid = new QGridLayout(this);
    grid->addWidget(nameLabel, 0, 0);
    grid->addWidget(m_editDir, 1, 0);
    grid->addWidget(m_list, 2, 0);
    grid->addWidget(drivesLabel, 3, 0);
    grid->addWidget(m_drives, 4, 0);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addStretch();
    grid->addLayout(buttons, 0, 1, 5, 1);
    resize(400, 320);

    // The file-system root (on Windows, each drive), the home directory and
    // every mounted volume.
    QStringList drives;
    for (const QFileInfo& drive : QDir::drives()) drives << drive.absolutePath();
    drives.insert(1, QDir::homePath());
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (volume.isValid() && volume.isReady() && !drives.contains(volume.rootPath()))
            drives << volume.rootPath();
    }
    for (const QString& drive : drives)
        m_drives->addItem(m_icons.icon(QFileIconProvider::Drive), QDir::toNativeSeparators(drive), drive);
    m_drives->setItemText(1, QStringLiteral("Home: ") + QDir::toNativeSeparators(QDir::homePath()));
    m_drives->setItemData(1, QDir::homePath());
    auto* home = new QPushButton(QStringLiteral("&Home"), this);
    home->setAutoDefault(false);
    connect(home, &QPushButton::clicked, this, [this] { SetListedDirectory(QDir::homePath()); });
    buttons->insertWidget(2, home);
    // Enter opens the folder selected in the list, or the place chosen.
    m_list->installEventFilter(this);
    m_drives->installEventFilter(this);

    connect(m_list, &QListWidget::currentRowChanged, this, [this] { OnLBSelChangedNotify(); });
    connect(m_list, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { SetListedDirectory(DirectoryText(m_list->row(item))); });
    connect(m_drives, &QComboBox::activated, this, [this](int index) {
        const QVariant place = m_drives->itemData(index);
        SetListedDirectory(place.isValid() ? place.toString() : m_drives->itemText(index));
    });
    // The starting directory's entry is selected, so the field shows its path.
    QString startDir = start;
    if (startDir.isEmpty() || !m_platform.IsDirectory(QFile::encodeName(startDir).toStdString())) {
        startDir = QDir::currentPath();
    }
    SetListedDirectory(QDir(startDir).absolutePath());
    m_list->setFocus();
    m_bFirstPaint = 1;
}

namespace {

// The root of a clean path with '/' separators, ending in '/': "/", a drive
// ("C:/") or a network share ("//server/share/").
QString RootOf(const QString& path) {
    if (path.size() >= 2 && path[1] == QLatin1Char(':') && path[0].isLetter())
        return path.left(2) + QLatin1Char('/');
    if (path.startsWith(QLatin1String("//"))) {
        const qsizetype server = path.indexOf(QLatin1Char('/'), 2);
        const qsizetype share = server < 0 ? -1 : path.indexOf(QLatin1Char('/'), server + 1);
        return (share < 0 ? path : path.left(share)) + QLatin1Char('/');
    }
    return QStringLiteral("/");
}

}  // namespace

void CChooseDir::SetListedDirectory(const QString& path) {
    m_current = QDir::cleanPath(QDir::fromNativeSeparators(path));
    m_bQuietSelection = true;
    m_list->clear();
    const QString root = RootOf(m_current);
    QStringList parts = m_current.mid(root.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    const QIcon folder = m_icons.icon(QFileIconProvider::Folder);
    m_list->addItem(new QListWidgetItem(folder, QDir::toNativeSeparators(root)));
    QString indent = QStringLiteral("  ");
    for (const QString& part : parts) {
        m_list->addItem(new QListWidgetItem(folder, indent + part));
        m_list->item(m_list->count() - 1)->setData(Qt::UserRole, part);
        indent += QStringLiteral("  ");
    }
    m_list->item(0)->setData(Qt::UserRole, root);
    m_levels = m_list->count();
    const QStringList subdirectories = QDir(m_current).entryList(
        QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name | QDir::IgnoreCase);
    for (const QString& sub : subdirectories) {
        m_list->addItem(new QListWidgetItem(folder, indent + sub));
        m_list->item(m_list->count() - 1)->setData(Qt::UserRole, sub);
    }
    // A folder with a MASTER: bold, with a tip that says so.
    for (int row = 0; row < m_list->count(); ++row) {
        const std::string dir = QFile::encodeName(DirectoryText(row)).toStdString();
        if (!m_platform.FindName(dir, kMasterName)) continue;
        QListWidgetItem* item = m_list->item(row);
        QFont bold = item->font();
        bold.setBold(true);
        item->setFont(bold);
        item->setText(item->text() + QStringLiteral("  (portfolio)"));
        item->setData(Qt::UserRole + 1, true);
        item->setToolTip(QStringLiteral("This folder holds a portfolio (a MASTER file)."));
    }
    m_bQuietSelection = false;
    m_list->setCurrentRow(m_levels - 1);
    m_list->scrollToItem(m_list->currentItem());
}

bool CChooseDir::HoldsPortfolio(int row) const {
    return row >= 0 && row < m_list->count() && m_list->item(row)->data(Qt::UserRole + 1).toBool();
}

void CChooseDir::AddPlaces(const QStringList& folders) {
    for (const QString& folder : folders) {
        if (folder.isEmpty() || m_drives->findData(folder) >= 0) continue;
        m_drives->addItem(m_icons.icon(QFileIconProvider::Folder),
                          QStringLiteral("Portfolio: ") + QDir::toNativeSeparators(folder), folder);
    }
}

bool CChooseDir::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (watched == m_list && m_list->currentRow() >= 0) {
                SetListedDirectory(DirectoryText(m_list->currentRow()));
                return true;
            }
            if (watched == m_drives) {
                emit m_drives->activated(m_drives->currentIndex());
                m_list->setFocus();
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

QString CChooseDir::DirectoryText(int row) const {
    if (row < 0 || row >= m_list->count()) return {};
    if (row >= m_levels) {
        QString base = m_current.endsWith(QLatin1Char('/')) ? m_current : m_current + QLatin1Char('/');
        return base + m_list->item(row)->data(Qt::UserRole).toString();
    }
    // The root as it stands, the second level appended directly, later ones
    // after a separator.
    QString text = m_list->item(0)->data(Qt::UserRole).toString();
    for (int i = 1; i <= row; ++i) {
        if (i > 1) text += QLatin1Char('/');
        text += m_list->item(i)->data(Qt::UserRole).toString();
    }
    return text;
}

void CChooseDir::OnLBSelChangedNotify() {
    if (m_bQuietSelection || m_list->currentRow() < 0) return;
    m_strDir = QDir::toNativeSeparators(DirectoryText(m_list->currentRow()));
    m_editDir->setText(m_strDir);
}

void CChooseDir::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    if (!m_bFirstPaint) return;
    m_bFirstPaint = 0;
    // The starting folder stays highlighted and in view.
    m_list->scrollToItem(m_list->currentItem());
}

bool CChooseDir::OnFileNameOK() {
    m_strDir = m_editDir->text();
    // A relative name means a directory below the one the list shows; it is
    // made absolute here, once, so that nothing resolves it again later.
    if (!m_strDir.isEmpty() && QDir::isRelativePath(m_strDir)) {
        m_strDir = QDir::toNativeSeparators(QDir::cleanPath(QDir(m_current).absoluteFilePath(m_strDir)));
    }
    const std::string text = QFile::encodeName(m_strDir).toStdString();
    if (text.find_first_of("*?|<>\"") != std::string::npos) {
        m_prompt.MessageBox(text + " is not a valid pathname.", kMbOk);
        return false;
    }
    // The check the conversion makes of its portfolio: the path resolves and
    // names a directory. The current directory stays.
    std::string full;
    CStatus entered = text.empty() ? CStatus::Error(ENOENT) : m_platform.CanonicalPath(text, &full);
    if (entered && !m_platform.IsDirectory(full)) entered = CStatus::Error(ENOTDIR);
    if (entered) return true;
    // Only a missing directory is offered for creation; one that is there
    // but cannot be entered says why.
    if (entered.Number() != ENOENT && entered.Number() != ENOTDIR) {
        m_prompt.MessageBox("Cannot use the directory " + text + ": " + entered.Text(), kMbOk);
        return false;
    }
    if (m_prompt.MessageBox("Directory " + text + " does not exist.\nCreate this directory?", kMbYesNo) !=
        kIdYes) {
        return false;
    }
    if (CStatus created = m_platform.MakeDirectory(text); !created) {
        m_prompt.MessageBox("There was a problem creating " + text + ": " + created.Text() +
                                ".\nThe new directory was not created.",
                            kMbOk);
        return false;
    }
    return true;
}

void CChooseDir::accept() {
    if (OnFileNameOK()) QDialog::accept();
}

}  // namespace tarvel
