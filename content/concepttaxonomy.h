#pragma once

#include <QString>
#include <QStringList>

#include <array>

// The fixed two-level vocabulary: seven super-concepts, each with an ordered
// list of concepts. A super-concept is identified by its name, which is also
// the caption of its label on the main window.
class ConceptTaxonomy
{
public:
    static constexpr int SuperConceptCount = 7;
    static constexpr int MaxConcepts = 12;     // longest list, also the size of the concept panel

    struct Entry
    {
        QString name;                          // super-concept name and label caption
        QString labelName;                     // object name of its label on the main window
        int count = 0;                         // concepts at positions 1..count
        std::array<QString, MaxConcepts + 1> concepts; // position 0 unused, above count empty
    };

    // Writes the seven lists. Runs once, when the main window loads.
    void fill();
    bool isFilled() const { return m_filled; }

    // Entries in filling order: cultura, società, popolazione, spazio, politica, economia, avvenimenti.
    const std::array<Entry, SuperConceptCount> &entries() const { return m_entries; }
    QStringList superConceptNames() const;

    // Null when the name is not one of the seven (the comparison is exact).
    const Entry *find(const QString &superConcept) const;

    // 0 for an unknown name.
    int conceptCount(const QString &superConcept) const;
    // Entry at position 1..count; an empty text for any other position or an unknown name.
    QString conceptAt(const QString &superConcept, int position) const;
    // The super-concept whose list holds the concept; empty when none does.
    QString superConceptOf(const QString &conceptText) const;

private:
    std::array<Entry, SuperConceptCount> m_entries;
    bool m_filled = false;
};
