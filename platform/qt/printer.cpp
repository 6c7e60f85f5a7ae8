// Printing through Qt PrintSupport: QPrintDialog lists the system's printers and offers printing
// to a PDF file; the page is painted by a QPainter on the QPrinter, reached by the system code
// through a device context.
#include "platform/printer.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <algorithm>

#include "platform/common/print_support.h"
#include "platform/qt/image_context.h"
#include "platform/qt/window_widgets.h"
#include "platform/text_codec.h"

namespace platform {
namespace {

struct PrinterObject {
    QPrinter printer{QPrinter::HighResolution};
    QPainter painter;
    DeviceContext dc = nullptr;
    int pagesStarted = 0;
};

LivePrinters<PrinterObject> livePrinters;

PrinterObject* FindPrinter(DeviceContext dc) {
    return livePrinters.Find(dc);
}

// Without any printer the dialog offers only the PDF file; it proposes one in the working
// directory, beside the settings file, so that Return alone prints.
void ProposePdfFile(QPrinter* printer) {
    if (QPrinterInfo::availablePrinterNames().isEmpty()) {
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(QDir::current().absoluteFilePath(QStringLiteral("KVXMon.pdf")));
    }
}

// What the user last chose to print with, offered again by the next Print for the rest of the
// run, as desktop programs do; window thread only. Kept in memory alone: the settings file has
// no room for it.
struct PrintChoice {
    bool made = false;
    bool toPdf = false;
    QString printerName;
    QString pdfFile;
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
};

PrintChoice& LastChoice() {
    static PrintChoice choice;
    return choice;
}

void KeepChoice(const QPrinter& printer) {
    PrintChoice& last = LastChoice();
    last.made = true;
    last.toPdf = printer.outputFormat() == QPrinter::PdfFormat;
    last.printerName = printer.printerName();
    last.pdfFile = printer.outputFileName();
    last.orientation = printer.pageLayout().orientation();
}

// The orientation comes last, so that the defaults a chosen printer may bring cannot undo it. A
// printer that has gone since falls back to the first offer.
void OfferLastChoice(QPrinter* printer) {
    const PrintChoice& last = LastChoice();
    if (last.made && last.toPdf) {
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(last.pdfFile);
    } else if (last.made && QPrinterInfo::availablePrinterNames().contains(last.printerName)) {
        printer->setPrinterName(last.printerName);
    } else {
        ProposePdfFile(printer);
    }
    if (last.made) {
        printer->setPageOrientation(last.orientation);
    }
}

}  // namespace

uint32_t ChoosePrinter(WindowHandle owner, DeviceContext* printer) {
    if (printer == nullptr) {
        return 1;
    }
    *printer = nullptr;
    auto* p = new PrinterObject;
    OfferLastChoice(&p->printer);
    if (PrintDialogHook hook = CurrentPrintDialogHook()) {
        char path[1024] = {};
        const QByteArray offered =
            p->printer.outputFormat() == QPrinter::PdfFormat
                ? QFile::encodeName(p->printer.outputFileName()).left(sizeof path - 1)
                : QByteArray();
        std::copy(offered.begin(), offered.end(), path);
        bool landscape = p->printer.pageLayout().orientation() == QPageLayout::Landscape;
        const uint32_t result = hook(path, sizeof path, &landscape);
        if (result != 0 || path[0] == '\0') {
            delete p;
            return result;
        }
        p->printer.setOutputFormat(QPrinter::PdfFormat);
        p->printer.setOutputFileName(QFile::decodeName(path));
        p->printer.setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    } else {
        // The dialog needs the widget application; a program without it has no printer choice.
        if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
            delete p;
            return 1;
        }
        QPrintDialog dialog(&p->printer, WindowWidget(owner));
        if (dialog.exec() != QDialog::Accepted) {
            delete p;
            return 0;
        }
    }
    KeepChoice(p->printer);
    if (!p->printer.isValid()) {
        delete p;
        return 2;
    }
    p->dc = CreatePainterContext(&p->painter, &p->printer);
    livePrinters.Add(p);
    *printer = p->dc;
    return 0;
}

void DeletePrinterContext(DeviceContext printer) {
    PrinterObject* p = FindPrinter(printer);
    if (p == nullptr) {
        return;
    }
    livePrinters.Remove(p);
    DeleteImageContext(p->dc);
    if (p->painter.isActive()) {
        // A document never ended is abandoned, not printed half-drawn.
        p->printer.abort();
        p->painter.end();
    }
    delete p;
}

int StartDoc(DeviceContext printer, const char* documentName) {
    PrinterObject* p = FindPrinter(printer);
    if (p == nullptr || p->painter.isActive()) {
        return 0;
    }
    p->printer.setDocName(FromWindows1252(documentName != nullptr ? documentName : ""));
    p->pagesStarted = 0;
    return p->painter.begin(&p->printer) ? 1 : 0;
}

int StartPage(DeviceContext printer) {
    PrinterObject* p = FindPrinter(printer);
    if (p == nullptr || !p->painter.isActive()) {
        return 0;
    }
    // The painter opens the first page itself; every later one is asked for.
    if (p->pagesStarted > 0 && !p->printer.newPage()) {
        return 0;
    }
    ++p->pagesStarted;
    return 1;
}

int EndPage(DeviceContext printer) {
    PrinterObject* p = FindPrinter(printer);
    return p != nullptr && p->painter.isActive() && p->pagesStarted > 0 ? 1 : 0;
}

int EndDoc(DeviceContext printer) {
    PrinterObject* p = FindPrinter(printer);
    if (p == nullptr || !p->painter.isActive()) {
        return 0;
    }
    return p->painter.end() ? 1 : 0;
}

}  // namespace platform
