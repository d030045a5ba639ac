#include "shell/tarvel_view.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextCharFormat>
#include <QTextCursor>

#include "convert/row_reader.h"
#include "platform/file_util.h"
#include "shell/settings_dialog.h"
#include "shell/tarvel_app.h"

namespace tarvel {

CTarvelView::CTarvelView(CTarvelApp& app, QWidget* parent)
    : QPlainTextEdit(parent),
      m_runSettingsDialog([](CSettingsDlg& dialog) { return dialog.exec(); }),
      m_beep([] { QApplication::beep(); }),
      m_app(app) {
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setUndoRedoEnabled(false);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setPlaceholderText(
        tr("To convert a price file, open it with File > Open... (Ctrl+O), or drop it on this window.\n\n"
           "Tarvel shows its first lines here and opens Conversion Settings with the layout it found: "
           "check the columns in the preview, choose the portfolio folder and press OK. "
           "Each conversion then leaves an entry here: the symbol, the rows added, their dates and the "
           "portfolio, or why it failed."));
}

void CTarvelView::AppendPortfolioLink(const QString& text, const QString& portfolio) {
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    QTextCharFormat link;
    link.setAnchor(true);
    link.setAnchorHref(QStringLiteral("portfolio:") + portfolio);
    link.setForeground(palette().color(QPalette::Link));
    link.setFontUnderline(true);
    end.insertText(QDir::toNativeSeparators(text), link);
    end.setCharFormat(QTextCharFormat());
    document()->setModified(false);
}

QString CTarvelView::PortfolioLinkAt(const QPoint& pos) const {
    const QString href = anchorAt(pos);
    return href.startsWith(QLatin1String("portfolio:")) ? href.mid(10) : QString();
}

void CTarvelView::mouseMoveEvent(QMouseEvent* event) {
    QPlainTextEdit::mouseMoveEvent(event);
    viewport()->setCursor(PortfolioLinkAt(event->pos()).isEmpty() ? Qt::IBeamCursor : Qt::PointingHandCursor);
}

void CTarvelView::mouseReleaseEvent(QMouseEvent* event) {
    QPlainTextEdit::mouseReleaseEvent(event);
    const QString portfolio = PortfolioLinkAt(event->pos());
    if (event->button() == Qt::LeftButton && !portfolio.isEmpty() && m_openPortfolio)
        m_openPortfolio(portfolio);
}

void CTarvelView::AppendToLog(const QString& text) {
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    setTextCursor(end);
    ensureCursorVisible();
    QString lines = text;
    lines.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    end.insertText(lines, QTextCharFormat());  // never the format of a link before it
    setTextCursor(end);
    ensureCursorVisible();
    document()->setModified(false);
}

void CTarvelView::OnClearWindow() {
    setPlainText(QString());
    document()->setModified(false);
}

void CTarvelView::SetPathIn(const QByteArray& path) {
    m_strPathIn = path;
    if (m_onPathChanged) m_onPathChanged();
}

void CTarvelView::OnPreviewFile() {
    setUpdatesEnabled(false);
    std::unique_ptr<CFile> file;
    CStatus opened = m_app.platform().Open(m_strPathIn.toStdString(), OpenMode::kRead, &file);
    // The entries of earlier conversions stay; the preview starts below them.
    if (!document()->isEmpty()) AppendToLog(QStringLiteral("\r\n\r\n"));
    AppendToLog(QStringLiteral("To help you with the conversion settings, your file...\r\n\r\n\t") +
                QDir::toNativeSeparators(QFile::decodeName(m_strPathIn)) +
                QStringLiteral("\r\n\r\nlooks like this...\r\n\r\n"));
    if (!opened) {
        setUpdatesEnabled(true);
        m_app.prompt().MessageBox(
            OpenFailureMessage(opened, "Cannot open the input file", m_strPathIn.toStdString()), kMbOk);
        return;
    }
    CLineReader reader(*file);
    std::string_view line;
    bool tooLong = false;
    for (int count = 0; count < kPreviewPieces && reader.Next(&line, &tooLong); ++count) {
        // Only the start of a very long line: the log is for a look.
        if (tooLong || line.size() > 300) line = line.substr(0, 300);
        AppendToLog(QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())) +
                    QStringLiteral("\r\n"));
    }
    file.reset();
    setUpdatesEnabled(true);
    OnSettings();
}

}  // namespace tarvel
