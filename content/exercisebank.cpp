#include "content/exercisebank.h"

#include <QtGlobal>

#include <initializer_list>

namespace {

template <typename Slots>
QStringList upTo(const Slots &names, int count)
{
    QStringList list;
    for (int p = 1; p <= count && p < int(names.size()); ++p)
        list.append(names[size_t(p)]);
    return list;
}

} // namespace

QStringList ExerciseKey::superConceptList() const
{
    return upTo(superConcepts, superConceptCount);
}

QStringList ExerciseKey::conceptList() const
{
    return upTo(concepts, conceptCount);
}

ExerciseBank::ExerciseBank()
    : m_slots(SlotCount)
{
}

const ExerciseKey &ExerciseBank::key(int number) const
{
    if (number < 0 || number >= SlotCount)
        return m_slots[0];
    return m_slots[size_t(number)];
}

ExerciseKey &ExerciseBank::slot(int number)
{
    Q_ASSERT(number >= 1 && number < SlotCount);
    return m_slots[size_t(qBound(1, number, SlotCount - 1))];
}

namespace {

using Texts = std::initializer_list<const char16_t *>;

// Writes one whole key: the passage, the names at positions 1..count and the four codes.
void fillKey(ExerciseKey &key, const char16_t *passage, Texts superConcepts, Texts concepts,
             int periodo, int durata, int luogo, int tempo)
{
    Q_ASSERT(superConcepts.size() < ExerciseKey::SuperConceptSlots);
    Q_ASSERT(concepts.size() < ExerciseKey::ConceptSlots);
    key = ExerciseKey();
    key.passage = QString::fromUtf16(passage);
    for (const char16_t *name : superConcepts)
        key.superConcepts[size_t(++key.superConceptCount)] = QString::fromUtf16(name);
    for (const char16_t *text : concepts)
        key.concepts[size_t(++key.conceptCount)] = QString::fromUtf16(text);
    key.periodo = periodo;
    key.durata = durata;
    key.luogo = luogo;
    key.tempo = tempo;
}

} // namespace

// The 39 exercises. Each block gives the exercise number, the passage, the super-concepts and
// the concepts of its key in their order, and the four codes: periodo (1 explicit, 0 implicit),
// durata (0 short, 1 medium, 2 long), luogo (1 explicit, 0 implicit), tempo (0 simultaneity,
// 1 succession). Texts are those of the concept taxonomy, character for character; the source
// is UTF-8 and every accented letter is a single precomposed character.
void ExerciseBank::frasi()
{
    const auto put = [this](int number, const char16_t *passage, Texts superConcepts, Texts concepts,
                            int periodo, int durata, int luogo, int tempo) {
        fillKey(slot(number), passage, superConcepts, concepts, periodo, durata, luogo, tempo);
    };

    put(1,
        u"Con l'impero romano, sorsero anche in Europa nuove città, con acquedotti e terme, collegate "
        u"da grandi strade. Poi, nel corso di alcuni secoli, la cultura romana vi si diffuse e si "
        u"mescolò con quelle locali, e quelle terre si svilupparono e progredirono.",
        {u"cultura", u"avvenimenti"},
        {u"scambi culturali", u"progresso, sviluppo"},
        0, 1, 1, 1);

    put(2,
        u"Le nuove genti arrivate, i Dori, si stabilirono soprattutto nel Peloponneso. Secondo alcuni "
        u"studiosi, erano un popolo di pastori, che per generazioni visse allevando pecore e capre, ma "
        u"che nelle pianure coltivava anche orzo e grano.",
        {u"economia", u"popolazione"},
        {u"settore produttivo", u"popolo"},
        0, 1, 1, 0);

    put(3,
        u"Il santuario di Delfi era molto famoso in tutta la Grecia. Qui la Pizia, sacerdotessa di "
        u"Apollo, dava i responsi del dio, e per alcuni secoli i Greci ebbero l'usanza di consultarla, "
        u"con ricchi doni, prima di fondare una colonia o di fare una guerra.",
        {u"cultura"},
        {u"religione", u"usi e costumi, tradizioni"},
        0, 1, 1, 0);

    put(4,
        u"I Fenici, a differenza degli Egizi, vivevano divisi in città-stato indipendenti e a volte "
        u"rivali, ognuna con il proprio re. Per molti secoli non formarono mai un unico stato, anche "
        u"se appartenevano tutti allo stesso popolo.",
        {u"politica", u"popolazione"},
        {u"forma dello stato", u"popolo"},
        0, 2, 0, 0);

    put(5,
        u"Essi furono i primi ad utilizzare il «corvo», un ponte mobile con un grosso uncino, "
        u"inventato per agganciare le navi nemiche: nel 260 a.C., in battaglia, i Romani lo calarono "
        u"sulle navi cartaginesi e vinsero combattendo come sulla terraferma.",
        {u"cultura", u"avvenimenti"},
        {u"invenzione", u"battaglia"},
        1, 0, 0, 0);

    put(6,
        u"Le prime civiltà urbane nacquero in zone pianeggianti attraversate da grandi fiumi, in terre "
        u"lontane tra loro. Non fu un caso: fu quell'ambiente, ricco d'acqua, a favorire, in un lento "
        u"cammino di millenni, la nascita delle città.",
        {u"spazio"},
        {u"rapporto tra ambiente e avvenimento"},
        0, 2, 0, 0);

    put(7,
        u"Provenienti dalle montagne, essi si insediarono nel sud della Mesopotamia, attirati da una "
        u"pianura ricca d'acqua tra il Tigri e l'Eufrate. Secondo alcuni studiosi, questi migranti "
        u"erano i Sumeri, ma la loro origine è ancora incerta.",
        {u"spazio", u"avvenimenti"},
        {u"migrazione", u"rapporto tra ambiente e avvenimento"},
        0, 0, 1, 0);

    put(8,
        u"Semplificando, si può dire che nelle civiltà più antiche, per millenni, la società fu come "
        u"una piramide divisa in ceti: in cima il re, sotto di lui sacerdoti, nobili e funzionari, poi "
        u"artigiani e mercanti; alla base, i più numerosi, contadini e schiavi.",
        {u"società"},
        {u"classi, ceti sociali", u"gerarchia sociale"},
        0, 2, 0, 0);

    put(9,
        u"Gli Ebrei credevano (e ancora oggi credono) in un solo Dio, che, secondo la loro fede, li "
        u"aveva scelti come suo popolo. Per molti secoli vissero soprattutto di pastorizia e di "
        u"agricoltura: allevavano pecore e capre e coltivavano grano, viti e ulivi.",
        {u"cultura", u"popolazione", u"economia"},
        {u"religione", u"popolo", u"settore produttivo"},
        0, 2, 0, 0);

    put(10,
        u"I Dori, gli Ioni e gli Eoli erano popoli greci. Secondo la tradizione, quando i Dori "
        u"invasero la Grecia, i regni micenei crollarono; seguirono alcuni secoli di crisi, con "
        u"palazzi abbandonati e una vita più povera e difficile.",
        {u"popolazione", u"avvenimenti"},
        {u"popolo", u"conquista, invasione", u"regresso, crisi"},
        0, 1, 1, 1);

    put(11,
        u"Il territorio greco, molto montuoso, ostacolava i contatti tra una valle e l'altra. Anche "
        u"per questo in Grecia, per alcuni secoli, non si formò un unico stato, ma tante città-stato, "
        u"le poleis, ognuna libera e indipendente dalle altre.",
        {u"spazio", u"politica"},
        {u"rapporto tra ambiente e avvenimento", u"forma dello stato"},
        0, 1, 1, 0);

    put(12,
        u"Quando Atene era guidata dagli aristocratici, i nobili erano i soli a poter diventare "
        u"arconti, i magistrati che governavano, e a entrare nell'Areopago, il consiglio che vigilava "
        u"sulle leggi. Contadini e artigiani, invece, non potevano farlo.",
        {u"società", u"politica"},
        {u"classi, ceti sociali", u"istituzioni politiche centrali e/o periferiche"},
        0, 0, 1, 0);

    put(13,
        u"I Fenici hanno inventato l'alfabeto che si diffuse in tutto il Mediterraneo grazie ai viaggi "
        u"di questo popolo di navigatori. I Greci lo adottarono aggiungendo le vocali e da esso, "
        u"attraverso gli Etruschi, derivò l'alfabeto latino, che usiamo ancora oggi.",
        {u"cultura", u"popolazione"},
        {u"sistema di scrittura", u"scambi culturali", u"popolo", u"invenzione"},
        0, 2, 1, 1);

    put(14,
        u"Nel III S. d.C. l'impero romano fu sconvolto da una grave crisi: mentre sul Reno e sul "
        u"Danubio era in guerra con i barbari, all'interno le legioni lottavano tra loro e lo stato, "
        u"ormai in mano ai militari, rischiava di dividersi in più parti.",
        {u"politica", u"avvenimenti"},
        {u"forma dello stato", u"guerra", u"regresso, crisi"},
        1, 0, 1, 0);

    put(15,
        u"Tra XI e XII secolo i Papi e gli imperatori si scontrarono nella lotta per le investiture: "
        u"entrambi volevano poter nominare i vescovi, che erano capi religiosi ma anche signori con "
        u"terre e poteri politici.",
        {u"politica"},
        {u"rapporto stato-religione"},
        1, 1, 0, 0);

    put(16,
        u"A partire dal XV secolo, nel Centro Italia si diffuse sempre più la mezzadria: il "
        u"proprietario affidava un podere a una famiglia contadina, che lo coltivava e gli dava metà "
        u"del raccolto. Così i campi furono curati meglio e resero di più.",
        {u"economia"},
        {u"settore produttivo", u"produttività", u"organizzazione del lavoro"},
        1, 1, 1, 1);

    put(17,
        u"Dalle rotte commerciali con l'America, affluì in Europa, sulle navi spagnole, moltissimo "
        u"argento. Le monete aumentarono e, anche per questo, i prezzi salirono: chi aveva entrate "
        u"fisse comprava meno, mentre mercanti e banchieri si arricchirono.",
        {u"società", u"economia"},
        {u"classi, ceti sociali", u"potere d'acquisto-prezzi", u"vie e mezzi di comunicazione"},
        0, 0, 1, 1);

    put(18,
        u"Con la Pace di Augusta (1555), Carlo V dovette accettare che in Germania ogni principe "
        u"scegliesse la religione, cattolica o luterana, dei propri sudditi. Con questo accordo era il "
        u"potere politico a decidere la fede degli abitanti.",
        {u"avvenimenti", u"politica"},
        {u"intesa, trattato, pace", u"rapporto stato-religione"},
        1, 0, 1, 0);

    put(19,
        u"Filippo II, per governare le regioni del suo vastissimo dominio, fece di Madrid la capitale "
        u"e riformò l'amministrazione: i Consigli di corte davano pareri, ma decideva il re; viceré e "
        u"governatori eseguivano i suoi ordini nelle terre lontane.",
        {u"avvenimenti", u"politica"},
        {u"riforma", u"istituzioni politiche centrali e/o periferiche"},
        0, 0, 1, 0);

    put(20,
        u"Elisabetta I fece pagare meno tasse ai mercanti e concesse loro privilegi e monopoli. Così "
        u"la borghesia si arricchì, le manifatture della lana e il commercio si svilupparono e il "
        u"regno divenne una grande potenza sul mare.",
        {u"società", u"economia", u"avvenimenti"},
        {u"classi, ceti sociali", u"settore produttivo", u"progresso, sviluppo"},
        0, 0, 0, 1);

    put(21,
        u"Galileo fu molto importante nella storia del pensiero scientifico: studiò la natura con "
        u"esperimenti e misure, inventò strumenti, perfezionò il cannocchiale e fece scoperte che "
        u"cambiarono l'idea dell'universo e fecero progredire la scienza.",
        {u"cultura", u"avvenimenti"},
        {u"progresso, sviluppo", u"scienza", u"invenzione"},
        0, 1, 0, 0);

    put(22,
        u"Luigi XIV è considerato un simbolo della monarchia assoluta: secondo le sue idee, il re non "
        u"doveva dividere il potere con altri, e infatti governava da solo, senza rendere conto a "
        u"nessuno. Gli si attribuisce la frase: «Lo Stato sono io».",
        {u"politica"},
        {u"forma dello stato", u"concezioni politiche"},
        0, 0, 0, 0);

    put(23,
        u"Luigi XIV, per sostenere il lusso della sua corte e le spese delle sue guerre, impose tasse "
        u"molto pesanti. A pagarle erano soprattutto i contadini e i borghesi, mentre i nobili e il "
        u"clero ne erano quasi del tutto esenti.",
        {u"politica", u"società"},
        {u"sistema fiscale", u"classi, ceti sociali"},
        0, 0, 0, 0);

    put(24,
        u"Gli Illuministi francesi volevano uno stato più moderno e razionale: Montesquieu proponeva "
        u"una monarchia con i poteri legislativo, esecutivo e giudiziario separati; per Rousseau, "
        u"invece, il potere apparteneva a tutti i cittadini.",
        {u"politica"},
        {u"forma dello stato", u"concezioni politiche"},
        0, 0, 0, 0);

    put(25,
        u"L'Assemblea Nazionale Costituente, il 4-8-1789, abrogò tutti i privilegi feudali. Grazie a "
        u"questa riforma, da allora anche nobili e clero dovettero pagare le tasse come gli altri "
        u"cittadini: fu un grande passo avanti verso una società più giusta.",
        {u"avvenimenti", u"politica"},
        {u"riforma", u"progresso, sviluppo", u"sistema fiscale", u"giustizia-ingiustizia"},
        1, 0, 0, 1);

    put(26,
        u"Il Congresso di Vienna, nel 1815, riuscì a ristabilire in gran parte dell'Europa l'ordine "
        u"politico che c'era prima di Napoleone: fu un ritorno al passato. In molti stati rinacque la "
        u"monarchia assoluta, e nobiltà e clero tornarono a essere i ceti più favoriti.",
        {u"avvenimenti", u"politica", u"società"},
        {u"classi, ceti sociali", u"regresso, crisi", u"forma dello stato"},
        1, 0, 1, 0);

    put(27,
        u"Nel 1848 tutta l'Europa fu scossa da rivoluzioni: a Parigi, Vienna, Berlino, Milano e in "
        u"molte altre città, quasi nello stesso momento, i rivoluzionari chiedevano libertà e "
        u"indipendenza, ispirati dalle idee liberali, democratiche e nazionali.",
        {u"avvenimenti", u"politica"},
        {u"rivoluzione", u"concezioni politiche"},
        1, 0, 1, 0);

    put(28,
        u"L'Italia, dopo l'Unità, è nata con uno stato fortemente accentrato: il progetto di dare "
        u"autonomia alle regioni fu respinto; poi a tutto il paese furono estese le leggi piemontesi e "
        u"le province furono affidate a prefetti scelti dal governo.",
        {u"politica"},
        {u"forma dello stato", u"istituzioni politiche centrali e/o periferiche"},
        0, 0, 1, 1);

    put(29,
        u"L'industria trasformò (e continua a trasformare) tutto il modo di vivere: con la rivoluzione "
        u"industriale, prima molti passarono dai campi alle fabbriche, poi cambiarono il ruolo sociale "
        u"delle persone e, in alcune generazioni, le abitudini quotidiane.",
        {u"avvenimenti", u"economia", u"società", u"cultura"},
        {u"rivoluzione", u"settore produttivo", u"ruolo sociale", u"usi e costumi, tradizioni"},
        0, 1, 0, 1);

    put(30,
        u"Le grandi potenze europee, mentre sviluppavano le loro industrie, conquistavano colonie "
        u"negli altri continenti: da lì ricavavano materie prime come cotone, gomma e metalli, e lì "
        u"cercavano nuovi mercati per i prodotti delle loro fabbriche.",
        {u"avvenimenti", u"economia"},
        {u"conquista, invasione", u"settore produttivo", u"mercato"},
        0, 0, 0, 0);

    put(31,
        u"Nel 1907 nacque, tra Francia, Inghilterra e Russia, la Triplice Intesa, contrapposta alla "
        u"Triplice Alleanza di Germania, Austria-Ungheria e Italia. L'Europa era divisa in due blocchi "
        u"rivali e i rapporti tra le grandi potenze erano in crisi.",
        {u"avvenimenti"},
        {u"intesa, trattato, pace", u"regresso, crisi"},
        1, 0, 1, 0);

    put(32,
        u"Una delle cause della I guerra mondiale fu la presenza, negli imperi multinazionali, di "
        u"gruppi etnici che volevano autonomia o indipendenza. Così, un mese dopo che un giovane serbo "
        u"aveva ucciso l'erede al trono asburgico, scoppiò la guerra.",
        {u"avvenimenti", u"popolazione", u"politica"},
        {u"gruppi etnici e-o linguistici", u"guerra", u"forma dello stato"},
        0, 0, 0, 1);

    put(33,
        u"Nei trattati di pace del 1919 ci si ispirò, almeno in parte, al principio di nazionalità, "
        u"sostenuto dal presidente americano Wilson: ogni nazionalità doveva avere un proprio stato. "
        u"Ma in molti nuovi stati rimasero forti minoranze di altra lingua.",
        {u"avvenimenti", u"popolazione", u"politica"},
        {u"gruppi etnici e-o linguistici", u"intesa, trattato, pace", u"concezioni politiche"},
        1, 0, 0, 0);

    put(34,
        u"Mussolini, leader dei Fascisti e capo del governo dal 1922, con le leggi fascistissime del "
        u"1925-1926 riformò lo stato: sciolse tutti gli altri partiti, abolì la libertà di stampa e "
        u"instaurò una dittatura.",
        {u"avvenimenti", u"politica"},
        {u"riforma", u"forma dello stato", u"partiti, movimenti politici"},
        1, 0, 0, 0);

    put(35,
        u"Per gli operai europei la Rivoluzione russa fu una grande speranza: in Russia i "
        u"rivoluzionari volevano costruire, secondo le idee comuniste, una società più giusta, senza "
        u"ricchi né poveri e senza più classi sociali.",
        {u"avvenimenti", u"società", u"politica"},
        {u"classi, ceti sociali", u"rivoluzione", u"concezioni politiche", u"giustizia-ingiustizia"},
        0, 0, 1, 0);

    put(36,
        u"I nazisti attuarono la loro ideologia razzista prima escludendo gli Ebrei dalla vita "
        u"pubblica, poi rinchiudendoli nei ghetti, infine uccidendoli in fucilazioni di massa e nei "
        u"campi di sterminio: fu la Shoah, il genocidio del popolo ebraico.",
        {u"popolazione", u"politica", u"avvenimenti"},
        {u"popolo", u"concezioni politiche", u"strage, genocidio"},
        0, 0, 0, 1);

    put(37,
        u"La II guerra mondiale è stata provocata soprattutto dalle dittature, in particolare da "
        u"quella di Hitler: prima si armarono, costruendo eserciti potenti, poi pretesero territori "
        u"dai paesi vicini, finché scoppiò il conflitto.",
        {u"avvenimenti", u"politica"},
        {u"guerra", u"forma dello stato"},
        0, 0, 0, 1);

    put(38,
        u"Nel corso del XX S., soprattutto nella seconda metà, in Europa il ruolo femminile nella "
        u"società cambiò profondamente: arrivò il diritto di voto, poi si diffusero la laurea e "
        u"professioni un tempo precluse. Fu una lenta ma vera rivoluzione nei costumi.",
        {u"avvenimenti", u"società", u"cultura"},
        {u"ruolo sociale", u"rivoluzione", u"usi e costumi, tradizioni"},
        1, 2, 1, 1);

    put(39,
        u"Dopo la II guerra mondiale, inizia la guerra fredda tra Stati Uniti e Unione Sovietica, "
        u"divisi da ideologie opposte: prima l'Europa si divide in due blocchi, poi anche la Germania; "
        u"le due superpotenze si sfidano senza mai scontrarsi direttamente.",
        {u"avvenimenti", u"politica"},
        {u"guerra", u"concezioni politiche"},
        0, 0, 1, 1);
}
