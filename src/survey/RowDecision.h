#pragma once

#include "probes/NetworkProbes.h"
#include "survey/AddressList.h"

// What one address of a survey becomes, decided in two plain steps apart from the
// engine that schedules the probes: how it is handled, known before any probe runs,
// and the row it gets once its probes have answered.
struct SurveyTarget {
    enum class Kind {
        Probe, // ask its name, ping it and, when it answers, read its MAC
        Own,   // the PC's own address: its own name and MAC, no probe
        Carry, // kept as the list had it: a complete re-survey entry, or one after a cancel
    };
    // What the list held before the run; in a new survey only the address.
    AddressEntry before;
    Kind kind = Kind::Probe;
};

// A new survey probes every address but the PC's own.
SurveyTarget newSurveyTarget(const QString& ip, const OwnIdentity& me);

// A re-survey probes only the entries whose host name or MAC is blank.
SurveyTarget resurveyTarget(const AddressEntry& before, const OwnIdentity& me);

// The row of a target. `found` counts only for Kind::Probe: what the probes found
// replaces both old values, except that finding nothing at all keeps what an earlier
// survey had found (in a new survey there is nothing earlier to keep).
AddressEntry surveyedRow(const SurveyTarget& target, const OwnIdentity& me,
                         const AddressFindings& found = {});
