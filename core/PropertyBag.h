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
        // Compare type as well as value: the text "0" is not the number 0.
        if (value.typeId() == defaultValue.typeId() && value == defaultValue)
            m_values.remove(name);
        else
            m_values.insert(name, value);
    }

    bool contains(const QString &name) const { return m_values.contains(name); }
    const QVariantMap &values() const { return m_values; }

private:
    QVariantMap m_values;
};
