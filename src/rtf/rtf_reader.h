// A small reader of Rich Text Format, for the user manual.
//
// Qt shows rich text but does not read RTF, so this turns what a word processor saves into a
// QTextDocument: paragraphs and line breaks, alignment, indents (a bullet's hanging first line
// included) and spacing, bold, italic, underline, font sizes and colours, tables as tables with
// the first row's column widths, \'hh bytes in the Windows Latin code page and \u Unicode
// escapes. Characters of one look go into the document as one run, in one edit without undo, so
// that a long manual reads in a fraction of a second. Font tables, style sheets, pictures, document
// info and every destination it does not know are skipped rather than shown as text. Anything that
// is not RTF at all is refused, so the caller can say so instead of showing noise.
#pragma once

#include <QByteArray>
#include <QString>

class QTextDocument;

namespace calvento {

// Replaces the document's content with the RTF text; false (and the document empty) when the
// bytes do not start as RTF.
bool ReadRtf(const QByteArray& rtf, QTextDocument* document);

}  // namespace calvento
