// Tells the test, through a request that it can capture, what the page thinks its user agent is.
fetch("/ua.txt?ua=" + encodeURIComponent(navigator.userAgent));
