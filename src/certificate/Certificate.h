// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "wrench/ServiceRecord.h"

#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

// The certificate of a verification run: a PDF of one or two A4 pages, written from the run's
// service record alone, so that it can be written again at any time.
namespace zelcor {

struct CertificateInput {
    ServiceRecord record; // a verification run that ended with a verdict
    // For an "as left" run: the "as found" run of the same wrench earlier the same day, and
    // the records that wrote to the wrench between the two (oldest first).
    std::optional<ServiceRecord> asFound;
    std::vector<ServiceRecord> writesBetween;
    QDateTime printed; // the footer's print date, shown in UTC
};

// The font the certificate is written in, named so that every "N·m" and "±" is one a reader
// (and pdftotext) takes for what it is. Debian: fonts-dejavu-core.
inline constexpr const char* kCertificateFont = "DejaVu Sans";

// The certificate number of the run kept as `record`: CertificateNumber of its id and the
// UTC date of its time.
std::string RecordCertificateNumber(const ServiceRecord& record);

// Writes the certificate of `input.record` to `pdfPath`, replacing the file whole (it is
// written beside it and renamed): the certificate number, the date of the run, the bench and
// the technician; the wrench (code, direction, digits after the point, maximum), "as found" or
// "as left", the reference tester and its own due date; the method in words; every reading
// with its deviation (repeated ones marked, not counted); per point the means, the largest
// deviation, the spread and the verdict; the run's verdict and next due date; the remark; a
// signature line; and an "as found" run given with it, with the writes in between. A second
// page is begun only when the first is full. The same input gives the same bytes: the print
// date is the one thing that changes between two writings of one record (the document is
// dated with it too, not with the time of writing).
//
// Refused, with `error` set and no file written: a record that is no verification run, a
// stopped run or one without a verdict (it gets no certificate), a record time that cannot be
// read, the font missing, a file that cannot be written.
//
// Needs a QGuiApplication (fonts come from the platform's font database); without a display
// start it on the offscreen platform (QT_QPA_PLATFORM=offscreen, or "-platform offscreen").
// Refused when the application is no QGuiApplication. Call it on the application's thread.
bool WriteCertificate(const CertificateInput& input, const QString& pdfPath, QString& error);

} // namespace zelcor
