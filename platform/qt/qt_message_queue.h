#pragma once
// Connects the main thread's message queue (window messages, Synchronize calls)
// to Qt's event loop: whatever arrives for the main thread is served from the
// loop, nested ones of modal dialogs included. The exceptions of other threads
// are shown from the loop too, and the application object reads as terminated
// once Qt's application is about to quit. Call on the application's thread
// once the application object exists; a second call does nothing.
void ServeMessagesInQtEventLoop();
