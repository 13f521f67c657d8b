#pragma once

#include "CheckSheets.h"

#include "foundation/Database.h"

#include <QWidget>
#include <memory>
#include <optional>

class QBuffer;
class QLabel;
class QPdfDocument;
class QPdfView;
class QPushButton;
class QStackedWidget;
class QStandardItemModel;
class QTableView;
class QTemporaryDir;
class QTextBrowser;
class Session;

// "QA Check Sheets": the active parts and the check sheet of the selected part, shown read-only
// (PDF pages, text and HTML, images; other documents by their type and size) with a button that
// opens it in the desktop's application. Nothing is written back to the database.
class frmCheckSheet : public QWidget
{
    Q_OBJECT

public:
    explicit frmCheckSheet(Session &session, QWidget *parent = nullptr);
    ~frmCheckSheet() override;

    bool load();
    QSize sizeHint() const override;
    // The page of the document area now shown: "pdf", "text", "image" or "info".
    QString shownAs() const;

private:
    void buildUi();
    void partSelected();
    void showDocument(const QByteArray &document);
    void showInfo(const QString &text);
    void releasePdf();
    void openInDesktop();

    Session &m_session;
    std::optional<Database> m_db;
    std::unique_ptr<CheckSheets> m_sheets;
    QByteArray m_document;
    std::unique_ptr<QTemporaryDir> m_openedFolder;
    int m_opened = 0;

    QStandardItemModel *m_parts = nullptr;
    QTableView *m_grid = nullptr;
    QStackedWidget *m_container = nullptr;
    QPdfDocument *m_pdf = nullptr;
    QBuffer *m_pdfBytes = nullptr;
    QPdfView *m_pdfView = nullptr;
    QTextBrowser *m_text = nullptr;
    QLabel *m_image = nullptr;
    QLabel *m_info = nullptr;
    QPushButton *m_cmdOpen = nullptr;
};
