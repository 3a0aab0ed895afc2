#include "viewers/form_printer_window.h"

#include <QPainter>
#include <QPixmap>
#include <QPrintDialog>
#include <QPrinter>
#include <QWidget>

namespace varnoke {

bool paintFormImage(QWidget& form, QPrinter& printer) {
    const QPixmap image = form.grab();
    QPainter painter;
    if (!painter.begin(&printer)) return false;
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    const QSize fitted = image.size().scaled(page.size(), Qt::KeepAspectRatio);
    painter.drawPixmap(QRect(QPoint(0, 0), fitted), image);
    return painter.end();
}

PrintOutcome DialogFormPrinter::printForm(QWidget& form) {
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, &form);
    if (dialog.exec() != QDialog::Accepted) return PrintOutcome::Cancelled;
    return paintFormImage(form, printer) ? PrintOutcome::Printed : PrintOutcome::Failed;
}

PrintOutcome PdfFormPrinter::printForm(QWidget& form) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path_);
    return paintFormImage(form, printer) ? PrintOutcome::Printed : PrintOutcome::Failed;
}

} // namespace varnoke
