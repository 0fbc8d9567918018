// Classic layout helpers. See classic_layout.h.
#include "app/classic_layout.h"

#include <QCheckBox>
#include <QFontInfo>
#include <QLabel>
#include <QStyleOptionTab>
#include <QStyleOptionTabWidgetFrame>
#include <QTabBar>
#include <QTabWidget>

namespace calvento {

QSize ClassicTabStyle::sizeFromContents(ContentsType type, const QStyleOption* option,
                                        const QSize& size, const QWidget* widget) const {
    QSize s = QProxyStyle::sizeFromContents(type, option, size, widget);
    if (type == CT_TabBarTab) s.setHeight(kClassicTabStripHeight);
    return s;
}

int ClassicTabStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                                 const QWidget* widget) const {
    // A classic tab has a few pixels of room around its caption, not a dozen.
    if (metric == PM_TabBarTabHSpace) return 8;
    return QProxyStyle::pixelMetric(metric, option, widget);
}

void ApplyClassicTabs(QTabWidget* tabs) {
    auto* style = new ClassicTabStyle();
    style->setParent(tabs);
    tabs->tabBar()->setStyle(style);
    tabs->setUsesScrollButtons(false);
    tabs->tabBar()->setExpanding(true);
    tabs->tabBar()->setDrawBase(true);
    if (tabs->tabBar()->sizeHint().width() > tabs->width()) {
        QFont condensed = tabs->tabBar()->font();
        condensed.setFamily(QFontInfo(condensed).family() + QStringLiteral(" Narrow"));
        condensed.setStretch(QFont::Condensed);
        tabs->tabBar()->setFont(condensed);
    }
    // The form places page controls as if the page began right under a classic strip. Where the
    // real page begins lower (the strip plus the pane's frame), lift them by the difference.
    // The page's top is asked of the style the same way the tab control will ask when it lays
    // itself out (which it only does once shown).
    QStyleOptionTabWidgetFrame frame;
    frame.initFrom(tabs);
    frame.rect = tabs->rect();
    frame.shape = QTabBar::RoundedNorth;
    frame.tabBarSize = tabs->tabBar()->sizeHint();
    frame.lineWidth = tabs->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, tabs);
    const int pageTop =
        tabs->style()->subElementRect(QStyle::SE_TabWidgetTabContents, &frame, tabs).top();
    const int shift = pageTop - kClassicTabStripHeight;
    if (shift == 0) return;
    for (int i = 0; i < tabs->count(); ++i)
        for (QObject* child : tabs->widget(i)->children())
            if (auto* w = qobject_cast<QWidget*>(child)) w->move(w->x(), w->y() - shift);
}

}  // namespace calvento

namespace calvento {

void FitCaptions(QWidget* window) {
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (label->wordWrap() || label->text().isEmpty()) continue;
        const int need = label->fontMetrics().horizontalAdvance(label->text()) + 1;
        if (need > label->width()) label->resize(need, label->height());
    }
    for (QCheckBox* box : window->findChildren<QCheckBox*>()) {
        const QSize need = box->sizeHint();
        QRect r = box->geometry();
        if (need.width() > r.width()) r.setWidth(need.width());
        if (need.height() > r.height()) {
            r.moveTop(r.top() - (need.height() - r.height()) / 2);
            r.setHeight(need.height());
        }
        box->setGeometry(r);
    }
}

}  // namespace calvento
