#pragma once
// A control array: elements addressed by the index the design gives them
// (Degit(1)..Degit(60), txtSelectSound without a 2). Indexes may have gaps.
#include "core/VbError.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <map>

namespace forms {

// How an element is known to accessibility clients. A control with a fixed
// caption is known by it (Qt's default); any other by its design name.
enum class Naming { Auto, ByName, ByCaption };

QString elementName(const QString &arrayName, int index); // "Check3(4)"

// Gives a control its design name: the object name always, the accessible
// name unless it carries a fixed caption of its own.
void nameControl(QWidget &w, const QString &name, Naming naming = Naming::Auto);

template<typename W>
class ControlArray {
public:
    explicit ControlArray(QString name) : m_name(std::move(name)) {}
    ControlArray(const ControlArray &) = delete;
    ControlArray &operator=(const ControlArray &) = delete;

    // The element is owned by its Qt parent; the array only addresses it.
    W *add(int index, W *element, Naming naming = Naming::Auto)
    {
        nameControl(*element, elementName(m_name, index), naming);
        m_items[index] = element;
        return element;
    }

    // A missing index is error 9, as for any array.
    W *operator()(int index) const
    {
        const auto it = m_items.find(index);
        if (it == m_items.end() || !it->second)
            vb::raise(vb::ErrSubscript);
        return it->second;
    }

    bool contains(int index) const { return m_items.count(index) != 0; }
    int count() const { return int(m_items.size()); }
    int LBound() const { return m_items.empty() ? 0 : m_items.begin()->first; }
    int UBound() const { return m_items.empty() ? -1 : m_items.rbegin()->first; }
    const QString &name() const { return m_name; }

    // In index order: for (auto [index, w] : array).
    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

private:
    QString m_name;
    std::map<int, QPointer<W>> m_items;
};

} // namespace forms
