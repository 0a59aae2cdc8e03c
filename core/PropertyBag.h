#pragma once
// The store a container keeps its controls' properties in. A value equal to
// its default is not written, and reading a missing key yields the default.
#include <QString>
#include <QVariant>
#include <QVariantMap>

class PropertyBag {
public:
    PropertyBag() = default;
    explicit PropertyBag(QVariantMap values) : m_values(std::move(values)) {}

    QVariant ReadProperty(const QString &name, const QVariant &defaultValue) const
    {
        return m_values.value(name, defaultValue);
    }

    void WriteProperty(const QString &name, const QVariant &value, const QVariant &defaultValue)
    {
        // The text "0" is not the number 0, but 0 is 0 in any integer width.
        const bool valueIsText = value.typeId() == QMetaType::QString;
        const bool defaultIsText = defaultValue.typeId() == QMetaType::QString;
        if (valueIsText == defaultIsText && value == defaultValue)
            m_values.remove(name);
        else
            m_values.insert(name, value);
    }

    bool contains(const QString &name) const { return m_values.contains(name); }
    const QVariantMap &values() const { return m_values; }

private:
    QVariantMap m_values;
};
