// Start-up and shutdown: the order in which the framework, the album document type, the
// application object with its version data and the menu bar come into being before the
// event loop runs, and what happens when the loop returns or an exception escapes.
#pragma once

/// The whole life of the process: framework start, initialisers, _Main, finalisers and
/// the exit step, whose status it returns.
int RunProgram(int argc, char** argv);

/// Start-up, the event loop, and the report of an exception that reaches it.
void _Main();
/// The early start-up steps, in order; the first that throws stops the rest.
void _EarlyStartup();
/// Builds the document-type set.
void _InitFileTypes();
/// Creates the application object, gives it its version data, installs the menu bar and
/// registers the object.
void _NewAppInstance();
/// Application-level menu handlers: there are none.
void _ApplicationAddMenuHandlers();
/// The late start-up hook: nothing to do.
void _LateStartup();
