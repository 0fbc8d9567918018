// Making the classic twips layout look right with today's fonts and styles.
//
// The window's positions were laid out for tab strips 300 twips (20 pixels) high, with the
// controls of a tab page just below the strip, and for a narrow bitmap system font. Qt's styles
// draw taller, padded tabs that would push the lowest frames off the page or hide a tab behind
// scroll arrows, and the metric-compatible faces run a few pixels wider than the old font. The
// helpers here keep every position of the form and only make room where a caption needs it.
#pragma once

#include <QProxyStyle>

class QTabWidget;

namespace calvento {

// The classic layout counts in twips: 15 to a pixel at 96 dots per inch.
constexpr int kTwipsPerPixel = 15;

// Height of a classic tab strip, in pixels.
constexpr int kClassicTabStripHeight = 20;

class ClassicTabStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override;
};

// Gives the tab control the classic strip and moves its pages' controls so that positions
// measured from the control's top-left corner (strip included) land where they were designed.
// When the captions do not fit the control's width at the window's font, the strip uses the
// condensed face of the same family instead of scrolling.
void ApplyClassicTabs(QTabWidget* tabs);

// Widens labels and check boxes whose caption is wider than their box (their left edge stays),
// and gives check boxes the height their indicator needs, centred on the designed box.
void FitCaptions(QWidget* window);

}  // namespace calvento
