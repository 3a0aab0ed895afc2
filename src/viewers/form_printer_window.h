#pragma once
// Printing a window's image, as the remote result's Print button does. The program
// lets the user pick a printer (a PDF file among them); tests print straight to a PDF.
#include <QString>

class QPrinter;
class QWidget;

namespace varnoke {

enum class PrintOutcome { Printed, Cancelled, Failed };

class FormPrinter {
public:
    virtual ~FormPrinter() = default;
    virtual PrintOutcome printForm(QWidget& form) = 0;
};

// Asks for the printer with the print dialog, then prints.
class DialogFormPrinter : public FormPrinter {
public:
    PrintOutcome printForm(QWidget& form) override;
};

// Prints to a PDF file without asking.
class PdfFormPrinter : public FormPrinter {
public:
    explicit PdfFormPrinter(QString path) : path_(std::move(path)) {}
    PrintOutcome printForm(QWidget& form) override;

private:
    QString path_;
};

// Paints what the window shows now onto one page, scaled to fit; false when the
// printer cannot be opened.
bool paintFormImage(QWidget& form, QPrinter& printer);

} // namespace varnoke
