#include "content/concepttaxonomy.h"

#include <initializer_list>

namespace {

ConceptTaxonomy::Entry makeEntry(const char16_t *name, const char16_t *labelName,
                                 std::initializer_list<const char16_t *> concepts)
{
    ConceptTaxonomy::Entry e;
    e.name = QString::fromUtf16(name);
    e.labelName = QString::fromUtf16(labelName);
    int position = 0;
    for (const char16_t *c : concepts)
        e.concepts[++position] = QString::fromUtf16(c);
    e.count = position;
    return e;
}

} // namespace

void ConceptTaxonomy::fill()
{
    m_entries = {
        makeEntry(u"cultura", u"labcultura",
                  {u"scambi culturali", u"arte", u"sport e spettacoli", u"religione", u"scienza",
                   u"sistema di scrittura", u"lingua", u"usi e costumi, tradizioni", u"invenzione"}),
        makeEntry(u"societ\u00e0", u"labsociet\u00e0",
                  {u"classi, ceti sociali", u"famiglia", u"gerarchia sociale", u"ruolo sociale",
                   u"uomini, donne, bambini", u"emarginazione"}),
        makeEntry(u"popolazione", u"labpopolazione",
                  {u"popolo", u"andamento demografico", u"quantit\u00e0",
                   u"gruppi etnici e-o linguistici"}),
        makeEntry(u"spazio", u"labspazio",
                  {u"rapporto tra ambiente e economia", u"rapporto tra ambiente e cultura",
                   u"rapporto tra ambiente e avvenimento"}),
        makeEntry(u"politica", u"labpolitica",
                  {u"forma dello stato", u"istituzioni politiche centrali e/o periferiche",
                   u"sistema fiscale", u"concezioni politiche", u"rapporto stato-religione",
                   u"partiti, movimenti politici", u"giustizia-ingiustizia",
                   u"interessi di classe, di ceto"}),
        makeEntry(u"economia", u"labeconomia",
                  {u"settore produttivo", u"tecnica", u"produttivit\u00e0", u"organizzazione del lavoro",
                   u"sistemi economici", u"potere d'acquisto-prezzi", u"vie e mezzi di comunicazione",
                   u"vita dei lavoratori", u"rapporto produzione e fabbisogno", u"mercato"}),
        makeEntry(u"avvenimenti", u"Labavvenimenti",
                  {u"battaglia", u"guerra", u"migrazione", u"conquista, invasione", u"rivolta",
                   u"riforma", u"rivoluzione", u"intesa, trattato, pace", u"cambio di potere",
                   u"progresso, sviluppo", u"regresso, crisi", u"strage, genocidio"}),
    };
    m_filled = true;
}

QStringList ConceptTaxonomy::superConceptNames() const
{
    QStringList names;
    for (const Entry &e : m_entries)
        names.append(e.name);
    return names;
}

const ConceptTaxonomy::Entry *ConceptTaxonomy::find(const QString &superConcept) const
{
    if (!m_filled)
        return nullptr;
    for (const Entry &e : m_entries) {
        if (e.name == superConcept)
            return &e;
    }
    return nullptr;
}

int ConceptTaxonomy::conceptCount(const QString &superConcept) const
{
    const Entry *e = find(superConcept);
    return e ? e->count : 0;
}

QString ConceptTaxonomy::conceptAt(const QString &superConcept, int position) const
{
    const Entry *e = find(superConcept);
    if (!e || position < 1 || position > e->count)
        return {};
    return e->concepts[position];
}

QString ConceptTaxonomy::superConceptOf(const QString &conceptText) const
{
    for (const Entry &e : m_entries) {
        for (int p = 1; p <= e.count; ++p) {
            if (e.concepts[p] == conceptText)
                return e.name;
        }
    }
    return {};
}
