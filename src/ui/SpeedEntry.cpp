#include "SpeedEntry.h"

#include <QAbstractSlider>

SpeedEntry::SpeedEntry(QAbstractSlider& bar, QWidget* parent) : QSpinBox(parent) {
    setObjectName(QStringLiteral("speedEntry"));
    setRange(bar.minimum(), bar.maximum());
    setSuffix(QStringLiteral(" ms"));
    setValue(bar.value());
    setKeyboardTracking(false); // a half-typed "8" on the way to "80" is no speed
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setAccessibleName(QStringLiteral("Sebesség (ms)"));
    setToolTip(QStringLiteral("Sebesség ezredmásodpercben (%1–%2). Beírás után Enter.")
                   .arg(bar.minimum())
                   .arg(bar.maximum()));
    // The bar does nothing for a value it already has, so the two never chase each other.
    connect(&bar, &QAbstractSlider::valueChanged, this, &QSpinBox::setValue);
    connect(this, &QSpinBox::valueChanged, &bar, &QAbstractSlider::setValue);
}
