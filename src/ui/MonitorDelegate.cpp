#include "MonitorDelegate.h"

#include <QPainter>

void MonitorDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    const QString text = index.data(Qt::DisplayRole).toString();
    auto cached = m_texts.find(text);
    if (cached == m_texts.end()) {
        if (m_texts.size() >= 64)
            m_texts.clear();
        cached = m_texts.insert(text, QStaticText(text));
        cached->prepare(painter->transform(), option.font);
    }
    const bool selected = option.state & QStyle::State_Selected;
    if (selected)
        painter->fillRect(option.rect, option.palette.brush(QPalette::Highlight));
    painter->setFont(option.font);
    painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    const int top = option.rect.top() + (option.rect.height() - option.fontMetrics.height()) / 2;
    painter->drawStaticText(option.rect.left() + 2, top, *cached);
}

// The list shows one line and never scrolls, so only the height matters.
QSize MonitorDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    return QSize(1, option.fontMetrics.height());
}
