#include "content/exercisebank.h"

#include <QtGlobal>

#include <initializer_list>

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
        u"da grandi strade. I popoli conquistati adottarono a poco a poco la lingua latina e le usanze "
        u"dei Romani, e i loro commerci si svilupparono.",
        {u"cultura", u"avvenimenti"},
        {u"scambi culturali", u"progresso, sviluppo"},
        0, 1, 1, 1);

    put(2,
        u"Le nuove genti arrivate, i Dori, si stabilirono soprattutto nel Peloponneso. Erano un popolo "
        u"di guerrieri e di pastori: mentre gli uomini liberi si dedicavano alle armi, i contadini "
        u"sottomessi coltivavano la terra per loro.",
        {u"economia", u"popolazione"},
        {u"settore produttivo", u"popolo"},
        0, 1, 1, 0);

    put(3,
        u"Il santuario di Delfi era molto famoso in tutta la Grecia. Qui la sacerdotessa Pizia dava i "
        u"responsi del dio Apollo, e i Greci avevano l'usanza di consultarla, portando ricchi doni, "
        u"prima di fondare una colonia o di fare una guerra.",
        {u"cultura"},
        {u"religione", u"usi e costumi, tradizioni"},
        0, 1, 1, 0);

    put(4,
        u"I Fenici, a differenza degli Egizi, vivevano divisi in città indipendenti, ognuna governata "
        u"da un proprio re e dai ricchi mercanti. Per molti secoli non formarono mai un unico stato, "
        u"pur essendo un solo popolo, con la stessa lingua e gli stessi dèi.",
        {u"politica", u"popolazione"},
        {u"forma dello stato", u"popolo"},
        0, 2, 0, 0);

    put(5,
        u"Essi furono i primi ad utilizzare il «corvo», un ponte mobile munito di uncino: nel 260 a.C. "
        u"i soldati romani lo calarono sulle navi cartaginesi e, combattendo come sulla terraferma, "
        u"ottennero la loro prima vittoria sul mare.",
        {u"cultura", u"avvenimenti"},
        {u"invenzione", u"battaglia"},
        1, 0, 0, 0);

    put(6,
        u"Le prime civiltà urbane nacquero in zone pianeggianti attraversate da grandi fiumi, in terre "
        u"lontane tra loro ma in epoche vicine. Le piene rendevano fertili i campi e, per millenni, "
        u"quelle pianure nutrirono moltissime persone.",
        {u"spazio"},
        {u"rapporto tra ambiente e avvenimento"},
        0, 2, 0, 0);

    put(7,
        u"Provenienti dalle montagne, essi si insediarono nel sud della Mesopotamia: secondo alcuni "
        u"studiosi, i Sumeri arrivarono così. La pianura era fertile ma priva di pietre e di legname, "
        u"perciò costruirono case e templi con mattoni d'argilla.",
        {u"spazio", u"avvenimenti"},
        {u"migrazione", u"rapporto tra ambiente e avvenimento"},
        0, 0, 1, 0);

    put(8,
        u"Semplificando, si può dire che nelle civiltà antiche la società era come una piramide: in "
        u"cima stava il re, sotto di lui sacerdoti, nobili e funzionari, poi artigiani e mercanti; "
        u"alla base, i più numerosi, contadini e schiavi.",
        {u"società"},
        {u"classi, ceti sociali", u"gerarchia sociale"},
        0, 2, 0, 0);

    put(9,
        u"Gli Ebrei credevano (e ancora oggi credono) in un solo Dio, che li aveva scelti come suo "
        u"popolo. Per molti secoli vissero soprattutto di pastorizia e di agricoltura: allevavano "
        u"pecore e capre e coltivavano grano, viti e ulivi.",
        {u"cultura", u"popolazione", u"economia"},
        {u"religione", u"popolo", u"settore produttivo"},
        0, 2, 0, 0);

    put(10,
        u"I Dori, gli Ioni e gli Eoli erano popoli di lingua greca. Secondo la tradizione, quando i "
        u"Dori invasero la Grecia i regni micenei crollarono: molti Ioni ed Eoli fuggirono in Asia "
        u"Minore e seguì un lungo periodo di crisi.",
        {u"popolazione", u"avvenimenti"},
        {u"popolo", u"conquista, invasione", u"regresso, crisi"},
        0, 1, 1, 1);

    put(11,
        u"Il territorio greco, molto montuoso, ostacolava i collegamenti tra una valle e l'altra. Per "
        u"questo in Grecia non si formò mai un unico stato, ma tante città indipendenti, le poleis, "
        u"ognuna con le sue leggi e il suo governo.",
        {u"spazio", u"politica"},
        {u"rapporto tra ambiente e avvenimento", u"forma dello stato"},
        0, 1, 1, 0);

    put(12,
        u"Quando Atene era guidata dagli aristocratici, i nobili erano i soli a poter diventare "
        u"arconti, i magistrati che governavano, e a sedere nell'Areopago, il consiglio che giudicava "
        u"i delitti; contadini e artigiani erano esclusi dal potere.",
        {u"società", u"politica"},
        {u"classi, ceti sociali", u"istituzioni politiche centrali e/o periferiche"},
        0, 0, 1, 0);

    put(13,
        u"I Fenici hanno inventato l'alfabeto che si diffuse, grazie ai loro commerci, in tutto il "
        u"Mediterraneo. I Greci lo adottarono aggiungendo le vocali e da esso, attraverso gli "
        u"Etruschi, derivò l'alfabeto latino, che usiamo ancora oggi.",
        {u"cultura", u"popolazione"},
        {u"sistema di scrittura", u"scambi culturali", u"popolo", u"invenzione"},
        0, 2, 1, 1);

    put(14,
        u"Nel III S. d.C. l'impero romano fu sconvolto da una grave crisi: mentre i barbari "
        u"attaccavano i confini sul Reno e sul Danubio, le legioni si combattevano tra loro per "
        u"imporre come imperatori i propri generali.",
        {u"politica", u"avvenimenti"},
        {u"forma dello stato", u"guerra", u"regresso, crisi"},
        1, 0, 1, 0);

    put(15,
        u"Tra XI e XII secolo i Papi e gli imperatori si scontrarono nella lotta per le investiture: "
        u"entrambi volevano il diritto di nominare i vescovi, che erano capi religiosi ma anche "
        u"signori con terre e poteri politici.",
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
        u"Dalle rotte commerciali con l'America, affluì in Europa, attraverso la Spagna, moltissimo "
        u"argento. Le monete aumentarono e i prezzi salirono: chi viveva di un salario si impoverì, "
        u"mentre mercanti e banchieri si arricchirono.",
        {u"società", u"economia"},
        {u"classi, ceti sociali", u"potere d'acquisto-prezzi", u"vie e mezzi di comunicazione"},
        0, 0, 1, 1);

    put(18,
        u"Con la Pace di Augusta (1555), Carlo V dovette accettare che in Germania ogni principe "
        u"scegliesse la religione, cattolica o luterana, dei propri sudditi. Le guerre di religione "
        u"nell'impero ebbero così una tregua.",
        {u"avvenimenti", u"politica"},
        {u"intesa, trattato, pace", u"rapporto stato-religione"},
        1, 0, 1, 0);

    put(19,
        u"Filippo II, per governare le regioni del suo immenso impero, fece di Madrid la capitale e "
        u"riorganizzò lo stato: i Consigli di corte decidevano su ogni questione, mentre viceré e "
        u"governatori applicavano i suoi ordini nei domini lontani.",
        {u"avvenimenti", u"politica"},
        {u"riforma", u"istituzioni politiche centrali e/o periferiche"},
        0, 0, 1, 0);

    put(20,
        u"Elisabetta I fece pagare meno tasse ai mercanti e concesse loro privilegi e monopoli. Così "
        u"la borghesia si arricchì, i commerci e le manifatture crebbero e il regno divenne una grande "
        u"potenza sul mare.",
        {u"società", u"economia", u"avvenimenti"},
        {u"classi, ceti sociali", u"settore produttivo", u"progresso, sviluppo"},
        0, 0, 0, 1);

    put(21,
        u"Galileo fu molto importante nella storia del pensiero scientifico: studiò la natura con "
        u"esperimenti e misure, costruì un cannocchiale molto più potente di quelli esistenti e con "
        u"esso fece scoperte che cambiarono l'idea dell'universo.",
        {u"cultura", u"avvenimenti"},
        {u"progresso, sviluppo", u"scienza", u"invenzione"},
        0, 1, 0, 0);

    put(22,
        u"Luigi XIV è considerato un simbolo della monarchia assoluta: riteneva di ricevere il potere "
        u"direttamente da Dio e governava da solo, senza rendere conto a nessuno. Gli si attribuisce "
        u"la frase: «Lo Stato sono io».",
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
        u"Gli Illuministi francesi volevano uno stato più giusto e moderno: Montesquieu proponeva di "
        u"dividere il potere legislativo, esecutivo e giudiziario, mentre Rousseau sosteneva che il "
        u"potere appartiene all'insieme dei cittadini.",
        {u"politica"},
        {u"forma dello stato", u"concezioni politiche"},
        0, 0, 0, 0);

    put(25,
        u"L'Assemblea Nazionale Costituente, il 4-8-1789, abrogò tutti i privilegi feudali: da allora "
        u"nobili e clero dovettero pagare le tasse come gli altri cittadini. Fu un grande passo avanti "
        u"verso una società più giusta.",
        {u"avvenimenti", u"politica"},
        {u"riforma", u"progresso, sviluppo", u"sistema fiscale", u"giustizia-ingiustizia"},
        1, 0, 0, 1);

    put(26,
        u"Il Congresso di Vienna, nel 1815, riuscì a riportare sul trono i sovrani cacciati da "
        u"Napoleone: tornarono le monarchie assolute, e la nobiltà e il clero riebbero molti dei "
        u"privilegi che avevano perso con la Rivoluzione.",
        {u"avvenimenti", u"politica", u"società"},
        {u"classi, ceti sociali", u"regresso, crisi", u"forma dello stato"},
        1, 0, 1, 0);

    put(27,
        u"Nel 1848 tutta l'Europa fu scossa da moti rivoluzionari: a Parigi, Vienna, Berlino, Milano e "
        u"in molte altre città il popolo insorse, chiedendo costituzioni, libertà e indipendenza "
        u"nazionale secondo le idee liberali e democratiche.",
        {u"avvenimenti", u"politica"},
        {u"rivoluzione", u"concezioni politiche"},
        1, 0, 1, 0);

    put(28,
        u"L'Italia, dopo l'Unità, è nata con uno stato fortemente accentrato: a tutto il paese furono "
        u"estese le leggi del Piemonte e le province furono affidate a prefetti nominati dal governo "
        u"centrale.",
        {u"politica"},
        {u"forma dello stato", u"istituzioni politiche centrali e/o periferiche"},
        0, 0, 1, 1);

    put(29,
        u"L'industria trasformò (e continua a trasformare) tutto il modo di vivere: con la rivoluzione "
        u"industriale il lavoro passò dai campi alle fabbriche, donne e bambini divennero operai e le "
        u"abitudini di ogni giorno cambiarono.",
        {u"avvenimenti", u"economia", u"società", u"cultura"},
        {u"rivoluzione", u"settore produttivo", u"ruolo sociale", u"usi e costumi, tradizioni"},
        0, 1, 0, 1);

    put(30,
        u"Le grandi potenze europee, mentre sviluppavano le loro industrie, conquistavano colonie "
        u"negli altri continenti: da lì ricavavano materie prime a basso costo e lì vendevano i "
        u"prodotti delle loro fabbriche.",
        {u"avvenimenti", u"economia"},
        {u"conquista, invasione", u"settore produttivo", u"mercato"},
        0, 0, 0, 0);

    put(31,
        u"Nel 1907 nacque, tra Francia, Inghilterra e Russia, la Triplice Intesa, contrapposta alla "
        u"Triplice Alleanza di Germania, Austria-Ungheria e Italia. L'Europa era divisa in due blocchi "
        u"rivali e la tensione cresceva.",
        {u"avvenimenti"},
        {u"intesa, trattato, pace", u"regresso, crisi"},
        1, 0, 1, 0);

    put(32,
        u"Una delle cause della I guerra mondiale fu la presenza, nei grandi imperi, di molti popoli "
        u"di lingua diversa che volevano l'indipendenza: l'uccisione dell'erede al trono asburgico da "
        u"parte di un nazionalista serbo fece scoppiare la guerra.",
        {u"avvenimenti", u"popolazione", u"politica"},
        {u"gruppi etnici e-o linguistici", u"guerra", u"forma dello stato"},
        0, 0, 0, 1);

    put(33,
        u"Nei trattati di pace del 1919 ci si ispirò al principio di nazionalità, sostenuto dal "
        u"presidente americano Wilson: ogni popolo doveva avere un proprio stato. Ma in molti nuovi "
        u"stati rimasero forti minoranze di altra lingua.",
        {u"avvenimenti", u"popolazione", u"politica"},
        {u"gruppi etnici e-o linguistici", u"intesa, trattato, pace", u"concezioni politiche"},
        1, 0, 0, 0);

    put(34,
        u"Mussolini, leader dei Fascisti e capo del governo dal 1922, con le leggi fascistissime del "
        u"1925-1926 sciolse tutti gli altri partiti, abolì la libertà di stampa e trasformò lo stato "
        u"in una dittatura.",
        {u"avvenimenti", u"politica"},
        {u"riforma", u"forma dello stato", u"partiti, movimenti politici"},
        1, 0, 0, 0);

    put(35,
        u"Per gli operai europei la Rivoluzione russa fu una grande speranza: in Russia i bolscevichi "
        u"avevano preso il potere in nome dei lavoratori, promettendo una società più giusta, senza "
        u"ricchi né poveri.",
        {u"avvenimenti", u"società", u"politica"},
        {u"classi, ceti sociali", u"rivoluzione", u"concezioni politiche", u"giustizia-ingiustizia"},
        0, 0, 1, 0);

    put(36,
        u"I nazisti attuarono la loro ideologia razzista prima togliendo agli Ebrei ogni diritto, poi "
        u"deportandoli nei campi di sterminio, dove ne uccisero circa sei milioni: fu la Shoah, il "
        u"genocidio del popolo ebraico.",
        {u"popolazione", u"politica", u"avvenimenti"},
        {u"popolo", u"concezioni politiche", u"strage, genocidio"},
        0, 0, 0, 1);

    put(37,
        u"La II guerra mondiale è stata provocata soprattutto dalle dittature, in particolare da "
        u"quella nazista di Hitler: dopo aver eliminato ogni opposizione interna, esse cominciarono a "
        u"conquistare altri paesi con la forza.",
        {u"avvenimenti", u"politica"},
        {u"guerra", u"forma dello stato"},
        0, 0, 0, 1);

    put(38,
        u"Nel corso del XX S., soprattutto nella seconda metà, in Europa la condizione della donna "
        u"cambiò profondamente: le donne ottennero il diritto di voto, studiarono e lavorarono fuori "
        u"casa. Fu una vera rivoluzione nei costumi.",
        {u"avvenimenti", u"società", u"cultura"},
        {u"ruolo sociale", u"rivoluzione", u"usi e costumi, tradizioni"},
        1, 2, 1, 1);

    put(39,
        u"Dopo la II guerra mondiale, inizia la guerra fredda tra Stati Uniti e Unione Sovietica: le "
        u"due superpotenze, una capitalista e l'altra comunista, si contendono il mondo senza mai "
        u"combattersi direttamente.",
        {u"avvenimenti", u"politica"},
        {u"guerra", u"concezioni politiche"},
        0, 0, 1, 1);
}
