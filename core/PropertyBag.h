#pragma once
// The store a container keeps its controls' properties in. A value equal to
// its default is not written, and reading a missing key yields the default.
#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <algorithm>
#include <climits>
#include <cstdint>

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

    // Typed forms, so every control converts its stored values the same way:
    // whole numbers are clamped into their width, colours keep all 32 bits.
    int16_t readInt16(const QString &name, int16_t defaultValue) const
    {
        return int16_t(std::clamp<qlonglong>(readWhole(name, defaultValue), INT16_MIN, INT16_MAX));
    }
    int32_t readInt32(const QString &name, int32_t defaultValue) const
    {
        return int32_t(std::clamp<qlonglong>(readWhole(name, defaultValue), INT32_MIN, INT32_MAX));
    }
    uint32_t readColor(const QString &name, uint32_t defaultValue) const
    {
        return uint32_t(readWhole(name, defaultValue));
    }
    bool readBool(const QString &name, bool defaultValue) const
    {
        return ReadProperty(name, defaultValue).toBool();
    }

    void writeInt(const QString &name, qlonglong value, qlonglong defaultValue)
    {
        WriteProperty(name, value, defaultValue);
    }
    void writeColor(const QString &name, uint32_t value, uint32_t defaultValue)
    {
        WriteProperty(name, qlonglong(value), qlonglong(defaultValue));
    }
    void writeBool(const QString &name, bool value, bool defaultValue)
    {
        WriteProperty(name, value, defaultValue);
    }

    bool contains(const QString &name) const { return m_values.contains(name); }
    const QVariantMap &values() const { return m_values; }

private:
    qlonglong readWhole(const QString &name, qlonglong defaultValue) const
    {
        bool ok = false;
        const qlonglong v = m_values.value(name).toLongLong(&ok);
        return ok ? v : defaultValue;
    }

    QVariantMap m_values;
};
