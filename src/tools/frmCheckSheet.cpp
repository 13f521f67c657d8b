#include "frmCheckSheet.h"

#include "CheckSheetFile.h"

#include "foundation/Session.h"
#include "foundation/SharedDatabase.h"
#include "widgets/DataWindowParts.h"

#include <QBuffer>
#include <QDesktopServices>
#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QMimeDatabase>
#include <QPdfDocument>
#include <QPdfView>
#include <QPixmap>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

frmCheckSheet::frmCheckSheet(Session &session, QWidget *parent) : QWidget(parent), m_session(session)
{
    DataWindowParts::startWindow(this, QStringLiteral("frmCheckSheet"), tr("QA Check Sheets"));
    buildUi();
}

frmCheckSheet::~frmCheckSheet()
{
    releasePdf();
    m_sheets.reset();
    m_db.reset();
}

QSize frmCheckSheet::sizeHint() const
{
    return {980, 640};
}

void frmCheckSheet::buildUi()
{
    auto *layout = new QHBoxLayout(this);
    auto *parts = new QGroupBox(tr("Part # and Description"), this);
    parts->setObjectName(QStringLiteral("Frame3D1"));
    m_parts = new QStandardItemModel(0, 2, this);
    m_parts->setHorizontalHeaderLabels({tr("Job Number"), tr("Job Description")});
    m_grid = DataWindowParts::makePickList(QStringLiteral("DBGrid1"), m_parts, parts);
    (new QVBoxLayout(parts))->addWidget(m_grid);
    layout->addWidget(parts, 3);

    auto *sheet = new QGroupBox(tr("Check Sheet"), this);
    sheet->setObjectName(QStringLiteral("Frame3D2"));
    auto *sheetLayout = new QVBoxLayout(sheet);
    m_container = new QStackedWidget(sheet);
    m_container->setObjectName(QStringLiteral("oleCheckSheet"));
    m_pdf = new QPdfDocument(this);
    m_pdfView = new QPdfView(m_container);
    m_pdfView->setObjectName(QStringLiteral("pdf"));
    m_pdfView->setDocument(m_pdf);
    m_pdfView->setPageMode(QPdfView::PageMode::MultiPage);
    m_pdfView->setZoomMode(QPdfView::ZoomMode::FitToWidth);
    m_text = new QTextBrowser(m_container);
    m_text->setObjectName(QStringLiteral("text"));
    m_text->setOpenLinks(false);
    auto *imageArea = new QScrollArea(m_container);
    imageArea->setObjectName(QStringLiteral("image"));
    m_image = new QLabel(imageArea);
    m_image->setAlignment(Qt::AlignCenter);
    imageArea->setWidget(m_image);
    imageArea->setWidgetResizable(true);
    m_info = new QLabel(m_container);
    m_info->setObjectName(QStringLiteral("info"));
    m_info->setAlignment(Qt::AlignCenter);
    m_info->setWordWrap(true);
    for (QWidget *page : {static_cast<QWidget *>(m_pdfView), static_cast<QWidget *>(m_text),
                          static_cast<QWidget *>(imageArea), static_cast<QWidget *>(m_info)})
        m_container->addWidget(page);
    sheetLayout->addWidget(m_container, 1);
    m_cmdOpen = new QPushButton(tr("&Open"), sheet);
    m_cmdOpen->setObjectName(QStringLiteral("cmdOpen"));
    m_cmdOpen->setToolTip(tr("Opens the check sheet in the desktop's application; changes are not stored."));
    auto *close = new QPushButton(tr("&Close"), sheet);
    close->setObjectName(QStringLiteral("cmdClose"));
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cmdOpen);
    buttons->addWidget(close);
    sheetLayout->addLayout(buttons);
    layout->addWidget(sheet, 5);

    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &frmCheckSheet::partSelected);
    connect(m_cmdOpen, &QPushButton::clicked, this, &frmCheckSheet::openInDesktop);
    showInfo({});
}

bool frmCheckSheet::load()
{
    m_db = openSharedDatabase(m_session);
    if (!m_db)
        return false;
    m_sheets = std::make_unique<CheckSheets>(*m_db);
    try {
        for (const PartEntry &part : m_sheets->activeParts())
            m_parts->appendRow({new QStandardItem(part.number), new QStandardItem(part.description)});
    } catch (const DatabaseError &error) {
        m_session.prompter().tell(error.description(), programTitle(), MsgIcon::Exclamation);
    }
    m_grid->resizeColumnToContents(0);
    if (m_parts->rowCount() > 0)
        m_grid->setCurrentIndex(m_parts->index(0, 0));
    return true;
}

void frmCheckSheet::partSelected()
{
    const int row = m_grid->currentIndex().row();
    if (row < 0)
        return;
    QByteArray field;
    try {
        field = m_sheets->field(m_parts->item(row, 0)->text());
    } catch (const DatabaseError &error) {
        releasePdf();
        m_document.clear();
        showInfo(error.description());
        return;
    }
    const QString folder =
        CheckSheetFile::temporaryFolder(m_session.paths(), CheckSheetFile::systemEnvironment);
    const ExtractedDocument document = CheckSheetFile::extract(field, folder);
    if (!document.ok()) {
        releasePdf();
        m_document.clear();
        showInfo(document.failure);
        return;
    }
    showDocument(document.bytes);
}

void frmCheckSheet::releasePdf()
{
    // The PDF reads from the buffer over m_document: both go before the bytes change.
    m_pdf->close();
    delete m_pdfBytes;
    m_pdfBytes = nullptr;
}

void frmCheckSheet::showDocument(const QByteArray &document)
{
    releasePdf();
    m_document = document;
    m_cmdOpen->setEnabled(true);
    const QString type = CheckSheets::mimeType(document);
    if (type == QLatin1String("application/pdf")) {
        m_pdfBytes = new QBuffer(&m_document, this);
        m_pdfBytes->open(QIODevice::ReadOnly);
        m_pdf->load(m_pdfBytes);
        if (m_pdf->status() == QPdfDocument::Status::Ready) {
            m_container->setCurrentWidget(m_pdfView);
            return;
        }
    } else if (type == QLatin1String("text/html")) {
        m_text->setHtml(QString::fromUtf8(document));
        m_container->setCurrentWidget(m_text);
        return;
    } else if (type.startsWith(QLatin1String("text/"))) {
        m_text->setPlainText(QString::fromUtf8(document));
        m_container->setCurrentWidget(m_text);
        return;
    } else if (type.startsWith(QLatin1String("image/"))) {
        const QImage image = QImage::fromData(document);
        if (!image.isNull()) {
            m_image->setPixmap(QPixmap::fromImage(image));
            m_container->setCurrentIndex(2);
            return;
        }
    }
    m_info->setText(
        tr("This check sheet cannot be shown here:\n%1\n\nOpen shows it in the desktop's application.")
            .arg(CheckSheets::description(document)));
    m_container->setCurrentWidget(m_info);
}

void frmCheckSheet::showInfo(const QString &text)
{
    m_cmdOpen->setEnabled(false);
    m_info->setText(text);
    m_container->setCurrentWidget(m_info);
}

QString frmCheckSheet::shownAs() const
{
    return m_container->currentWidget()->objectName();
}

void frmCheckSheet::openInDesktop()
{
    if (m_document.isEmpty())
        return;
    // The application reads the file after this returns: it stays until the window closes.
    if (!m_openedFolder)
        m_openedFolder = std::make_unique<QTemporaryDir>();
    const QString suffix = QMimeDatabase().mimeTypeForData(m_document).preferredSuffix();
    const QString path = m_openedFolder->filePath(
        QStringLiteral("Check Sheet %1%2").arg(++m_opened).arg(suffix.isEmpty() ? QString() : '.' + suffix));
    QFile file(path);
    const bool written = m_openedFolder->isValid() && file.open(QIODevice::WriteOnly | QIODevice::NewOnly) &&
                         file.write(m_document) == m_document.size();
    file.close();
    if (!written || !QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        m_session.prompter().tell(tr("The check sheet cannot be opened in the desktop's application."),
                                  programTitle(), MsgIcon::Exclamation);
}
