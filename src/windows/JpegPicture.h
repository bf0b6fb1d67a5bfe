#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// Decodes a JPEG picture with libjpeg into an image of format RGB32. Grayscale and CMYK
// pictures are converted. Anything that is not a whole, decodable JPEG (empty input,
// truncated or corrupt data, other formats, absurd dimensions) gives a null image; the
// decoder never prints, aborts or exits.
QImage DecodeJpeg(const QByteArray& bytes);

// Reads a JPEG picture from a file or a resource path (":/pictures/banner.jpg") and decodes
// it with DecodeJpeg. A null image when the file cannot be read or decoded.
QImage LoadJpegPicture(const QString& path);

// Registers the compiled-in pictures under ":/pictures/". Safe to call more than once;
// LoadJpegPicture calls it itself, so only users of the PNG pictures need to call it.
void InitPictureResources();
