#pragma once

#include <QHash>
#include <QStaticText>
#include <QStyledItemDelegate>

// Draws the monitor's one line from cached, pre-laid-out texts. The standard delegate measures
// and shapes the text on every repaint, and the line changes up to 500 times a second; an effect
// has at most 22 different lines, so a small cache holds them all.
class MonitorDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    mutable QHash<QString, QStaticText> m_texts;
};
