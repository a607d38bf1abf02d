// The store's JSON replies are written by hand in a fixed layout; every text that goes into them
// passes through one escaper, so that a reply is valid JSON whatever the stored values hold.
#pragma once

#include <string>
#include <string_view>

// Appends `text` as a JSON string, quotes included. Quotes, backslashes and control characters are
// escaped; bytes that are not valid UTF-8 become U+FFFD, so the result always parses.
void appendJsonString(std::string& out, std::string_view text);
std::string jsonString(std::string_view text);

// The reply forms of the store's commands.
void replySuccess(std::string& reply);
void replyProbablySuccess(std::string& reply);
void replyError(std::string& reply, std::string_view description);
void replyInsertSuccess(std::string& reply, std::string_view id, std::string_view name);
void replyCollision(std::string& reply, std::string_view id);
