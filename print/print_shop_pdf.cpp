#include "print/print_shop_pdf.h"

// qpdf's own pointers are std::shared_ptr throughout.
#define POINTERHOLDER_TRANSITION 4

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <QTransform>

#include <exception>
#include <string>

namespace {

constexpr double PointsPerMillimetre = 72 / 25.4;
// Resource names of our own, unlike any Qt writes.
const char* const CutColourSpace = "/MerovikCutContour";
const char* const OverprintState = "/MerovikOverprint";

std::string Number(double aValue)
{
    return QByteArray::number(aValue, 'f', 3).toStdString();
}

std::string Point(const QPointF& aPoint)
{
    return Number(aPoint.x()) + " " + Number(aPoint.y());
}

// The entry aKey of dictionary aDictionary, made an empty dictionary when missing.
QPDFObjectHandle SubDictionary(QPDFObjectHandle aDictionary, const std::string& aKey)
{
    QPDFObjectHandle entry = aDictionary.getKey(aKey);
    if (!entry.isDictionary()) {
        entry = QPDFObjectHandle::newDictionary();
        aDictionary.replaceKey(aKey, entry);
    }
    return entry;
}

QPDFObjectHandle Rectangle(const QRectF& aRect)
{
    return QPDFObjectHandle::newFromRectangle(
        QPDFObjectHandle::Rectangle(aRect.left(), aRect.top(), aRect.right(), aRect.bottom()));
}

}  // namespace

QString AddPrintShopMarks(QByteArray& aPdf, const TPrintSettings& aSettings, const QList<QList<int>>& aPagePositions)
{
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processMemoryFile("labels.pdf", aPdf.constData(), size_t(aPdf.size()));
        std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(pdf).getAllPages();
        const QPDFObjectHandle separation = QPDFObjectHandle::parse(
            "[/Separation /CutContour /DeviceCMYK"
            " << /FunctionType 2 /Domain [0 1] /C0 [0 0 0 0] /C1 [0 1 0 0] /N 1 >>]");
        const QPDFObjectHandle overprint = QPDFObjectHandle::parse("<< /Type /ExtGState /OP true /op true /OPM 1 >>");
        for (size_t index = 0; index < pages.size() && index < size_t(aPagePositions.size()); ++index) {
            QPDFPageObjectHelper& page = pages[index];
            const QPDFObjectHandle::Rectangle media = page.getMediaBox().getArrayAsRectangle();
            const double width = media.urx - media.llx;
            const double height = media.ury - media.lly;
            // Layout millimetres to PDF points, y up from the media box's corner.
            const QTransform toPoints =
                LayoutToPage(aSettings, QSizeF(width, height) / PointsPerMillimetre)
                * QTransform(PointsPerMillimetre, 0, 0, -PointsPerMillimetre, media.llx, media.ury);
            const TPrintShopMarks marks = PrintShopMarks(aSettings, aPagePositions[int(index)]);

            QPDFObjectHandle pageObject = page.getObjectHandle();
            if (!marks.Trim.isNull()) {
                // Qt sizes pages in whole points; the page of a print shop's
                // label is to be its size exactly, around the same middle.
                pageObject.replaceKey("/MediaBox", Rectangle(toPoints.mapRect(marks.Media)));
                pageObject.removeKey("/CropBox");
                pageObject.replaceKey("/TrimBox", Rectangle(toPoints.mapRect(marks.Trim)));
                pageObject.replaceKey("/BleedBox", Rectangle(toPoints.mapRect(marks.Bleed)));
            }
            if (marks.CutCentres.isEmpty() && marks.CropMarks.isEmpty())
                continue;

            std::string content = "Q\nq\n" + Number(TPrintShop::LineWidth) + " w 0 J 0 j [] 0 d\n";
            if (!marks.CutCentres.isEmpty()) {
                QPDFObjectHandle resources = page.getAttribute("/Resources", true);
                if (!resources.isDictionary()) {
                    resources = QPDFObjectHandle::newDictionary();
                    pageObject.replaceKey("/Resources", resources);
                }
                SubDictionary(resources, "/ColorSpace").replaceKey(CutColourSpace, separation);
                SubDictionary(resources, "/ExtGState").replaceKey(OverprintState, overprint);
                // A circle as four Bézier quarters, mapped point by point so
                // that a calibrated page moves and scales it with the labels.
                constexpr double Kappa = 0.5522847498307936;
                const double r = marks.CutDiameter / 2;
                content += std::string("q ") + OverprintState + " gs " + CutColourSpace + " CS 1 SCN\n";
                for (const QPointF& c : marks.CutCentres) {
                    const auto at = [&](double aX, double aY) { return Point(toPoints.map(c + QPointF(aX, aY))); };
                    content += at(r, 0) + " m\n";
                    content += at(r, Kappa * r) + " " + at(Kappa * r, r) + " " + at(0, r) + " c\n";
                    content += at(-Kappa * r, r) + " " + at(-r, Kappa * r) + " " + at(-r, 0) + " c\n";
                    content += at(-r, -Kappa * r) + " " + at(-Kappa * r, -r) + " " + at(0, -r) + " c\n";
                    content += at(Kappa * r, -r) + " " + at(r, -Kappa * r) + " " + at(r, 0) + " c\n";
                    content += "h S\n";
                }
                content += "Q\n";
            }
            if (!marks.CropMarks.isEmpty()) {
                content += "1 1 1 1 K\n";
                for (const QLineF& line : marks.CropMarks)
                    content += Point(toPoints.map(line.p1())) + " m " + Point(toPoints.map(line.p2())) + " l S\n";
            }
            content += "Q\n";
            // Qt's drawing in a q/Q of its own, so no state it leaves set
            // reaches the marks.
            page.addPageContents(QPDFObjectHandle::newStream(&pdf, "q\n"), true);
            page.addPageContents(QPDFObjectHandle::newStream(&pdf, content), false);
        }
        QPDFWriter writer(pdf);
        writer.setOutputMemory();
        writer.write();
        const std::shared_ptr<Buffer> buffer = writer.getBufferSharedPointer();
        aPdf = QByteArray(reinterpret_cast<const char*>(buffer->getBuffer()), qsizetype(buffer->getSize()));
    } catch (const std::exception& error) {
        return QString::fromStdString(error.what());
    }
    return {};
}
